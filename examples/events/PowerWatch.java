package example.events;

import java.util.Arrays;

// Tells what the system reports: power and battery, devices, display, sessions, network adapters,
// the console's Ctrl+C. The first Ctrl+C is refused, the second ends the application.
public class PowerWatch {
    private static final int QUERY_END_SESSION = 17;
    private static final int POWER_BROADCAST = 536;
    private static final int CONSOLE_EVENT = 1026;
    private static int interrupts;

    // One method for every event; the result goes back to Windows (0: the event's default
    // answer, -2 or less: the system's own).
    public static int notifyEvent(int code, int wParam, int lParam, String text, int[] ints, byte[] bytes) {
        System.out.println("event " + code + " " + wParam + " " + lParam + " " + text + " "
                + Arrays.toString(ints) + " " + Arrays.toString(bytes));
        if (code == QUERY_END_SESSION) return 1; // the session may end
        if (code == POWER_BROADCAST && wParam == 10 && bytes.length > 2)
            System.out.println("battery at " + (bytes[2] & 0xFF) + " %, on mains: " + (bytes[0] == 1));
        if (code == CONSOLE_EVENT && wParam == 0) return ++interrupts > 1 ? 1 : 0; // 0: handled, go on
        return 0;
    }

    public static void main(String[] args) throws InterruptedException {
        System.out.println("Watching system events; press Ctrl+C twice to end.");
        // Events come as long as the application lives.
        while (true) Thread.sleep(1000);
    }
}
