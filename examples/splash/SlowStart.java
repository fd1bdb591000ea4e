package example.splash;

import java.awt.Color;
import java.awt.Font;
import java.awt.Graphics2D;

// A start in five steps shown on the splash screen (the image is packed into the launcher with
// Tavpack -img=splash.png): a progress bar over the image, a line of text painted on it, and the
// splash closed once the last step is done.
public class SlowStart {
    private static final int STEPS = 5;
    private static volatile int done;
    private static volatile String step = "Starting";

    // x, y, width, height, maximum; a negative y or width counts from the bottom or right edge.
    public static String[] sphGetProgressBarInfo() {
        return new String[] {"10", "-10", "-10", "16", "" + STEPS};
    }

    public static int sphGetProgressBarValue() {
        return done;
    }

    // Drawn over the image for every frame.
    public static void sphPaint(Graphics2D g, int width, int height) {
        g.setColor(Color.WHITE);
        g.setFont(new Font("Dialog", Font.BOLD, 14));
        g.drawString(step + "...", 12, height - 34);
    }

    public static int sphGetTickCount() {
        return 200;
    }

    public static boolean isCloseSplash() {
        return done >= STEPS;
    }

    public static void main(String[] args) throws InterruptedException {
        String[] names = {"Reading settings", "Opening files", "Loading plug-ins", "Building the window", "Ready"};
        for (String name : names) {
            step = name;
            Thread.sleep(600);
            done++;
        }
        System.out.println("started");
    }
}
