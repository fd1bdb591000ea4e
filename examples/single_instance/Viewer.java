package example.single;

import java.util.Arrays;
import java.util.concurrent.ArrayBlockingQueue;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.TimeUnit;

// A viewer that runs once per user session and directory: a second start hands its arguments
// to the viewer already running and ends at once, as a document viewer opens a second file in
// its first window.
public class Viewer {
    private static final BlockingQueue<String[]> handed = new ArrayBlockingQueue<String[]>(16);

    // Called in the running viewer, on a thread of the launcher, once for every new start, with
    // that start's arguments. true: taken over, the new start ends with status 0.
    public static boolean isOneInstance(String[] args) {
        return handed.offer(args);
    }

    public static void main(String[] args) throws InterruptedException {
        System.out.println("viewer: opened " + Arrays.toString(args));
        // A real viewer shows a window and lives on; this one waits for one more start.
        String[] more = handed.poll(Long.getLong("viewer.waitSeconds", 30), TimeUnit.SECONDS);
        System.out.println("viewer: handed " + (more == null ? "nothing" : Arrays.toString(more)));
    }
}
