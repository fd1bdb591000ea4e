package example.service;

import java.io.Serializable;

// The companion's side of TimeService: started in every user session (-startServiceUI), it shows
// a tray icon whose menu asks the service for the time and shows the answer in a balloon.
public class TimeService_TaskbarManagement {
    private static final int ASK = 1;
    private static volatile String question;
    private static volatile String answer;

    // true in the companion process.
    public static void taskInit(boolean inCompanion) {
    }

    public static String[] taskGetInfo() {
        return new String[] {"Tavrelo time service", "2", "0", "0", "1"};
    }

    public static String[][] taskGetMenu(boolean rightButton, int menuId) {
        return menuId == 0 ? new String[][] {{"" + ASK, "Ask the service"}} : null;
    }

    public static int taskGetDefaultMenuID(boolean rightButton) {
        return ASK;
    }

    public static void taskDoAction(boolean rightButton, int id) {
        if (id == ASK) question = "What time is it?";
    }

    // The exchange with the service, the mirror of the service's own three methods.
    public static boolean taskIsDataForService() {
        return question != null;
    }

    public static Serializable taskDataForService() {
        String sent = question;
        question = null;
        return sent;
    }

    public static void taskDataFromService(Serializable data) {
        answer = String.valueOf(data);
    }

    public static boolean taskIsBalloonShow() {
        return answer != null;
    }

    public static String[] taskGetBalloonInfo() {
        String text = answer;
        answer = null;
        return new String[] {"Tavrelo time service", text, "1", "5"};
    }

    // The companion found no service (it was deleted): it ends after this call.
    public static void taskErrorNoService() {
        System.err.println("The time service is not installed.");
    }
}
