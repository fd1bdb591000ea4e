package example.tray;

import java.text.SimpleDateFormat;
import java.util.Date;

// A clock in the notification area: a double click or "Show the time" tells the time in a
// balloon, "Quit" ends the application (and with it the icon).
public class TrayClock {
    private static final int SHOW_TIME = 1;
    private static final int QUIT = 2;
    private static final String SEPARATOR = "2048"; // MFT_SEPARATOR

    private static volatile boolean running = true;
    private static volatile String pendingBalloon;

    // Tooltip, then the action of each click: right single, right double, left single, left
    // double (0 nothing, 1 the default item, 2 the menu).
    public static String[] taskGetInfo() {
        return new String[] {"Tray clock", "2", "0", "0", "1"};
    }

    // Rows of id, label, type flags, state flags. Every row with a non-zero id is asked for its
    // submenu: null means a plain item.
    public static String[][] taskGetMenu(boolean rightButton, int menuId) {
        if (menuId != 0) return null;
        return new String[][] {{"" + SHOW_TIME, "Show the time"}, {"0", "", SEPARATOR}, {"" + QUIT, "Quit"}};
    }

    public static int taskGetDefaultMenuID(boolean rightButton) {
        return SHOW_TIME;
    }

    // The chosen id; 0 when the menu was dismissed.
    public static void taskDoAction(boolean rightButton, int id) {
        if (id == SHOW_TIME) pendingBalloon = new SimpleDateFormat("HH:mm:ss").format(new Date());
        if (id == QUIT) running = false;
    }

    public static boolean taskIsBalloonShow() {
        return pendingBalloon != null;
    }

    // Title, text, icon (1 information), time-out in seconds.
    public static String[] taskGetBalloonInfo() {
        String time = pendingBalloon;
        pendingBalloon = null;
        return new String[] {"Tray clock", "It is " + time, "1", "5"};
    }

    public static void main(String[] args) throws InterruptedException {
        // The icon lives as long as the "main" thread does.
        while (running) Thread.sleep(200);
    }
}
