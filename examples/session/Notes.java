package example.session;

import java.io.FileOutputStream;
import java.io.IOException;
import java.io.ObjectOutputStream;
import java.io.OutputStream;
import java.io.Serializable;
import java.util.ArrayList;
import java.util.Arrays;

// A note keeper that survives a restart of Windows: when the session ends the launcher saves the
// notes and starts the application again at the next logon, handing them back before main.
public class Notes {
    private static ArrayList<String> notes = new ArrayList<String>();
    private static boolean restored;

    // Asked when the session ends: true, restart me at the next logon.
    public static boolean sessionIsRestore() {
        return true;
    }

    // The object kept until the restart (serialized, so Serializable all the way down).
    public static Serializable sessionGetData() {
        return notes;
    }

    // Added to the arguments of the restarted run.
    public static String[] sessionGetMainArgs() {
        return new String[] {"--restored"};
    }

    // In the restarted run, before main: the saved object, or null when it could not be read.
    @SuppressWarnings("unchecked")
    public static void sessionSetData(Serializable data) {
        restored = true;
        if (data instanceof ArrayList) notes = (ArrayList<String>) data;
    }

    public static void main(String[] args) throws IOException {
        String saveAs = null;
        for (String arg : args) {
            if (arg.startsWith("--save-as=")) saveAs = arg.substring(10);
            else if (!arg.startsWith("--")) notes.add(arg);
        }
        System.out.println("notes: " + notes + (restored ? " (restored)" : ""));
        System.out.println("arguments: " + Arrays.toString(args));
        if (saveAs != null) endSessionHere(saveAs);
    }

    // Linux ends no session: to try the restart there, "--save-as=Notes__<number>" writes what
    // the Windows launcher writes at the end of a session into the temporary directory, and
    // "Notes __Tavrelo_restore=Notes__<number>" starts the restarted run.
    private static void endSessionHere(String identifier) throws IOException {
        String tmp = System.getenv("TMPDIR");
        String base = (tmp == null || tmp.isEmpty() ? "/tmp" : tmp) + "/" + identifier + ".restore";
        ObjectOutputStream data = new ObjectOutputStream(new FileOutputStream(base));
        data.writeObject(sessionGetData());
        data.close();
        // The restarted run's argument line: UTF-16LE text with its final NUL.
        StringBuilder line = new StringBuilder();
        for (String word : sessionGetMainArgs()) line.append(line.length() == 0 ? "" : " ").append(word);
        OutputStream arguments = new FileOutputStream(base + "_args");
        arguments.write((line + "\0").getBytes("UTF-16LE"));
        arguments.close();
    }
}
