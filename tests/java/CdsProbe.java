import java.io.BufferedReader;
import java.io.FileReader;
import java.io.IOException;

// Says hello on standard output and names on standard error the class-data archives its VM has
// mapped; with the argument "exit" it ends through System.exit(3).
public class CdsProbe {
    public static void main(String[] args) throws IOException {
        System.out.println("hello from the application");
        BufferedReader maps = new BufferedReader(new FileReader("/proc/self/maps"));
        String previous = null;
        for (String line; (line = maps.readLine()) != null;) {
            if (!line.endsWith(".jsa") || (previous != null && line.endsWith(previous))) continue;
            previous = line.substring(line.indexOf('/'));
            System.err.println("mapped " + previous);
        }
        maps.close();
        if (args.length > 0 && args[0].equals("exit")) System.exit(3);
    }
}
