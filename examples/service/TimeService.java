package example.service;

import java.io.FileWriter;
import java.io.IOException;
import java.io.Serializable;
import java.util.Date;

// A Windows service that writes the time into TimeService.log beside the launcher every ten
// seconds and answers the tray icon of its companion (TimeService_TaskbarManagement) in each
// user's session. Started by a user, the launcher installs, starts, stops or deletes it.
public class TimeService {
    private static volatile boolean stopping;
    private static volatile boolean answerPending;
    private static Thread worker;

    // Display name, description, automatic start, accepts stop and pause.
    public static String[] serviceGetInfo() {
        return new String[] {"Tavrelo time service", "Writes the time every ten seconds.", "false", "true"};
    }

    // In the service process, before it reports to the service manager: return soon (the
    // manager waits 30 s) with true, the service runs.
    public static boolean serviceInit() {
        worker = new Thread(new Runnable() {
            public void run() {
                while (!stopping) {
                    log("tick " + new Date());
                    sleep(10000);
                }
            }
        }, "time-writer");
        worker.start();
        return true;
    }

    // Controls arrive one at a time on one thread; true accepts them.
    public static boolean serviceControl_Stop() {
        stopping = true;
        worker.interrupt();
        return true;
    }

    public static boolean serviceControl_Shutdown() {
        return serviceControl_Stop();
    }

    public static void serviceFinish() {
        log("stopped");
    }

    // The exchange with the companion: asked often, "is there something for the UI?"
    public static boolean serviceIsDataForUI() {
        return answerPending;
    }

    public static Serializable serviceDataForUI() {
        answerPending = false;
        return "The service says: it is " + new Date();
    }

    public static void serviceDataFromUI(Serializable question) {
        log("the companion asks: " + question);
        answerPending = true;
    }

    // Not called in the service process while serviceInit is defined.
    public static void main(String[] args) {
    }

    static void log(String line) {
        try {
            FileWriter out = new FileWriter(System.getProperty("tavrelo.launcher") + "/TimeService.log", true);
            out.write(line + System.getProperty("line.separator"));
            out.close();
        } catch (IOException e) {
            // A full disk must not stop the service.
        }
    }

    static void sleep(long ms) {
        try {
            Thread.sleep(ms);
        } catch (InterruptedException e) {
            // stopping
        }
    }
}
