package example.admin;

import java.io.Serializable;
import javax.swing.JButton;
import javax.swing.JOptionPane;

// Administrator sections: the application runs as the user and does one piece of work in an
// elevated copy of itself (Windows asks the user once), exchanging objects with it.
public class Elevated {
    private static volatile String result;

    static native boolean sectionIsAdmin();
    static native boolean sectionStartAdminThread(int number, Serializable data, boolean wait);
    static native void sectionSetIconAdmin(java.awt.Component component);

    // In the elevated copy, on a thread of its own: the work that needs the rights.
    public static void sectionMainAdmin(int number, Serializable data) {
        System.out.println("elevated copy, administrator: " + sectionIsAdmin() + ", asked: " + data);
        result = "done as administrator";
    }

    // The elevated side's exchange with the user process.
    public static boolean sectionIsDataForUser() {
        return result != null;
    }

    public static Serializable sectionDataForUser() {
        String sent = result;
        result = null;
        return sent;
    }

    // The user process's side: objects from the elevated copy of thread `number`.
    public static void sectionDataFromAdmin(int number, Serializable data) {
        result = String.valueOf(data);
    }

    public static void sectionClosedAdminThread(int number) {
        System.out.println("the elevated copy of thread " + number + " has ended");
    }

    public static void main(String[] args) {
        JButton button = new JButton("Do it");
        sectionSetIconAdmin(button); // the shield, for a user without the rights
        if (JOptionPane.showConfirmDialog(null, button, "Elevated", JOptionPane.OK_CANCEL_OPTION) != 0) return;
        // true: wait until the elevated copy has ended.
        boolean started = sectionStartAdminThread(1, "clean the machine-wide cache", true);
        System.out.println("started: " + started + ", result: " + result);
    }
}
