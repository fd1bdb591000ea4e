import java.lang.management.ManagementFactory;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

// Reports what main received and what the VM was started with, one fact per line; text outside
// printable ASCII (and the backslash) is written as a Unicode escape, so the report does not
// depend on the terminal's encoding.
public class Probe {
    public static void main(String[] args) {
        System.out.println("args=" + args.length);
        for (String arg : args) System.out.println("arg=" + escape(arg));
        List<String> names = new ArrayList<String>(Arrays.asList("java.class.path", "java.library.path",
                "tavrelo.launcher", "tavrelo.isConsole", "java.home"));
        String extra = System.getenv("PROBE_PROPS");
        if (extra != null && !extra.isEmpty()) names.addAll(Arrays.asList(extra.split(",")));
        for (String name : names) System.out.println("prop " + name + "=" + escape(System.getProperty(name)));
        System.out.println("maxMemory=" + Runtime.getRuntime().maxMemory());
        System.out.println("vmOptions=" + escape(String.join("|", ManagementFactory.getRuntimeMXBean().getInputArguments())));
    }

    static String escape(String text) {
        if (text == null) return "<null>";
        StringBuilder out = new StringBuilder();
        for (char c : text.toCharArray()) {
            if (c >= 0x20 && c < 0x7F && c != '\\') out.append(c);
            else out.append(String.format("\\u%04x", (int) c));
        }
        return out.toString();
    }
}
