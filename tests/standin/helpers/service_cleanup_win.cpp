// Deletes the services the end-to-end tests install, before and after them (a CTest fixture),
// also when a test was cut short: wine would otherwise start an automatic one at every boot of
// the test prefix.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

constexpr const wchar_t* kTestServices[] = {L"TavSvcLife", L"TavSvcHang", L"TavSvcFail", L"TavSvcUi",
                                            L"TavSvcWatch", L"TavScmTarget", L"TavSvcLink",
                                            L"TavScmTable"};

TEST(ServiceCleanup, NoTestServiceIsLeft) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    for (const wchar_t* name : kTestServices) {
        SC_HANDLE service = OpenServiceW(manager, name, SERVICE_ALL_ACCESS);
        if (!service) continue;
        SERVICE_STATUS status{};
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        DeleteService(service);
        CloseServiceHandle(service);
        // Gone once its process has stopped; a service that refuses stop stays marked for deletion.
        for (int wait = 0; wait < 50; ++wait) {
            SC_HANDLE again = OpenServiceW(manager, name, SERVICE_QUERY_STATUS);
            if (!again) break;
            CloseServiceHandle(again);
            Sleep(100);
        }
    }
    CloseServiceHandle(manager);
}

} // namespace
