// A library named like the bridge driver's, laid beside the pipe's test and in its current
// folder: if the pipe ever loaded it from there, the test would see its bridge.

extern "C" __declspec(dllexport) unsigned long __stdcall FT_CreateDeviceInfoList(
    unsigned long* count) {
    *count = 1;
    return 0;
}
