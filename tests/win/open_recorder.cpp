// Stands in for the program the shell starts to open a .msc file: writes its
// command line to the file named by ZELT_OPEN_RECORD and ends. The record
// appears whole or not at all (written beside it, then renamed).
#include <windows.h>

#include <cstdio>

int wmain()
{
    wchar_t record[MAX_PATH];
    if (!GetEnvironmentVariableW(L"ZELT_OPEN_RECORD", record, MAX_PATH))
        return 2;
    wchar_t part[MAX_PATH + 8];
    _snwprintf(part, MAX_PATH + 8, L"%ls.part", record);
    FILE* out = _wfopen(part, L"wb");
    if (!out)
        return 3;
    const wchar_t* line = GetCommandLineW();
    fwrite(line, sizeof(wchar_t), wcslen(line), out);
    fclose(out);
    return MoveFileExW(part, record, MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
