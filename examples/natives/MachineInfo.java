package example.natives;

import java.util.Arrays;

// The registry, system and service-control natives: declared here, bound by the launcher when it
// starts the application. A declaration whose signature differs stays unbound and throws
// UnsatisfiedLinkError when called.
public class MachineInfo {
    static final int HKEY_CURRENT_USER = 0x80000001;
    static final String KEY = "Software\\Tavrelo\\Examples";

    // Registry ("reg" or "nativeReg_" before the name).
    static native String regGetValueSTR(int root, String key, String name, boolean expand);
    static native boolean regSetValueSTR(int root, String key, String name, String value, boolean expandable);
    static native String[] regEnumValues(int root, String key);
    static native boolean regDeleteKey(int root, String key);

    // System: 0 or the Win32 error code.
    static native boolean systemIsLocked();
    static native boolean systemIsStandbyAllowed();
    static native String systemGetErrorMessage(int error);

    // Service control: state, type, controls accepted, process id, as decimal text.
    static native String[] scmQueryStatus(String service);
    static native String scmGetNameLong(String service);

    public static void main(String[] args) {
        regSetValueSTR(HKEY_CURRENT_USER, KEY, "LastRun", "" + System.currentTimeMillis(), false);
        System.out.println("registry: LastRun = " + regGetValueSTR(HKEY_CURRENT_USER, KEY, "LastRun", false));
        System.out.println("registry: values " + Arrays.toString(regEnumValues(HKEY_CURRENT_USER, KEY)));
        regDeleteKey(HKEY_CURRENT_USER, KEY);
        System.out.println("system: locked " + systemIsLocked() + ", standby allowed " + systemIsStandbyAllowed());
        System.out.println("system: error 5 reads \"" + systemGetErrorMessage(5) + "\"");
        String[] status = scmQueryStatus("EventLog");
        System.out.println("service " + scmGetNameLong("EventLog") + ": " + Arrays.toString(status)
                + (status != null && "4".equals(status[0]) ? " (running)" : ""));
    }
}
