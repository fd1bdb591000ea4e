package manifest;

// A main class the main-class tests expect to run: it names itself.
public class Chosen {
    public static void main(String[] args) { System.out.println("main ran manifest.Chosen"); }
}
