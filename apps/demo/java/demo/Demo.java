package demo;

import java.util.Arrays;

// The demo application: it tells what it sees of the launcher that started it, and keeps a
// worker thread busy a little longer than main, which the launcher waits for before it ends.
public class Demo {
    public static void main(String[] args) throws InterruptedException {
        String greeting = System.getProperty("demo.greeting", "Hello");
        System.out.println(greeting + " from Java " + System.getProperty("java.version") + " ("
                + System.getProperty("java.vm.name") + "), running inside the launcher's own process.");
        System.out.println("  launcher directory : " + System.getProperty("tavrelo.launcher"));
        System.out.println("  console build      : " + ("1".equals(System.getProperty("tavrelo.isConsole")) ? "yes" : "no"));
        System.out.println("  arguments of main  : " + Arrays.toString(args));
        System.out.println("  class path         : " + System.getProperty("java.class.path"));
        System.out.println("  maximum heap       : " + Runtime.getRuntime().maxMemory() / (1024 * 1024) + " MiB");

        Thread worker = new Thread(new Runnable() {
            public void run() {
                try {
                    Thread.sleep(300);
                } catch (InterruptedException e) {
                    return;
                }
                System.out.println("worker: done after main returned; the launcher waited for me.");
            }
        }, "demo-worker");
        worker.start();
        System.out.println("main: returning now.");
    }
}
