package example.screensaver;

import java.awt.Color;
import java.awt.Graphics2D;
import java.util.Random;
import javax.swing.JOptionPane;

// A screen saver: copy Tavrelo.scr as Bubbles.scr beside Bubbles.exe and Bubbles.jar, then run
// "Bubbles.exe -installSCR". Each frame draws a few more bubbles over black.
public class Bubbles {
    private static final Random random = new Random();

    // Description shown in the Windows list, capture the screen, show the cursor, period in ms.
    public static String[] scrsvGetInfo() {
        return new String[] {"Tavrelo bubbles", "false", "false", "100"};
    }

    public static void scrsvPaint(Graphics2D g, int width, int height) {
        for (int i = 0; i < 5; i++) {
            int size = 10 + random.nextInt(60);
            g.setColor(new Color(random.nextInt(0x1000000)));
            g.fillOval(random.nextInt(width), random.nextInt(height), size, size);
        }
    }

    // Only Escape ends it; any real mouse move does too (without this method any key would).
    public static boolean scrsvIsExitByKey(int virtualKey, boolean released) {
        return virtualKey == 27;
    }

    public static void scrsvOpenConfig() {
        JOptionPane.showMessageDialog(null, "Bubbles has nothing to set.");
    }

    public static void main(String[] args) {
        System.out.println("Run as Bubbles.scr, or Bubbles.exe -installSCR / -configSCR / -deleteSCR.");
    }
}
