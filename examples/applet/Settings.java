package example.applet;

import javax.swing.JOptionPane;

// A Control Panel applet: copy Tavrelo.cpl as Settings.cpl beside Settings.exe and Settings.jar,
// then run "Settings.exe -installCPL" as administrator.
public class Settings {
    // Name under the icon, tip, category number.
    public static String[] cplGetInfo() {
        return new String[] {"Tavrelo settings", "The settings of the Tavrelo examples", "0"};
    }

    // The user opened the applet; the Control Panel waits while it runs.
    public static void cplOpen() {
        JOptionPane.showMessageDialog(null, "Nothing to set yet.", "Tavrelo settings", JOptionPane.INFORMATION_MESSAGE);
    }

    public static void main(String[] args) {
        cplOpen();
    }
}
