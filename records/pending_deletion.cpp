#include "records/pending_deletion.h"

#include <windows.h>

#include <io.h>

#include <string>
#include <vector>

#include "records/win32_owners.h"

namespace {
constexpr char session_manager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t pending_value[] = L"PendingFileRenameOperations";
constexpr wchar_t nt_prefix[] = L"\\??\\";

// The index of the first NUL at or after start, or end when there is none.
size_t string_end(const std::vector<wchar_t>& units, size_t start, size_t end) {
    while (start < end && units[start] != L'\0') ++start;
    return start;
}

struct FileIdentity {
    DWORD volume = 0;
    DWORD index_high = 0;
    DWORD index_low = 0;
    bool operator==(const FileIdentity& other) const {
        return volume == other.volume && index_high == other.index_high &&
               index_low == other.index_low;
    }
};

bool identity_of(HANDLE handle, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION information;
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &information)) {
        return false;
    }
    identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh,
                information.nFileIndexLow};
    return true;
}

// True when source, as the system stores it ("\??\" and the full path),
// reaches the file of that identity now. Opened to look only: no access,
// every sharing, so the open file is neither refused nor disturbed.
bool names(const wchar_t* source, size_t length, const FileIdentity& file) {
    std::wstring wide(source, length);
    if (wide.compare(0, 4, nt_prefix) == 0) wide.erase(0, 4);
    const platform::KernelHandle other(platform::taken_from(
        CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
    FileIdentity identity;
    return other && identity_of(other.get(), identity) && identity == file;
}
}  // namespace

void cancel_pending_deletion(std::FILE* file) {
    FileIdentity identity;
    if (!file ||
        !identity_of(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), identity)) {
        return;
    }
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, session_manager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      key.put()) != ERROR_SUCCESS) {
        return;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), pending_value, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_MULTI_SZ) {
        return;
    }
    std::vector<wchar_t> units(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(units.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), pending_value, nullptr, &type,
                         reinterpret_cast<BYTE*>(units.data()), &size) != ERROR_SUCCESS) {
        return;
    }
    const size_t count = size / sizeof(wchar_t);

    // Pairs of source and target; an empty target means "delete". The
    // deletions of the file are cut out, every other unit is kept as stored.
    std::vector<wchar_t> kept;
    bool removed = false;
    size_t position = 0;
    while (position < count && units[position] != L'\0') {
        const size_t source_end = string_end(units, position, count);
        if (source_end + 1 >= count) break;  // a source without its target
        const size_t target_end = string_end(units, source_end + 1, count);
        if (target_end >= count) break;
        const bool deletion = target_end == source_end + 1;
        if (deletion && names(&units[position], source_end - position, identity)) {
            removed = true;
        } else {
            kept.insert(kept.end(), units.begin() + position, units.begin() + target_end + 1);
        }
        position = target_end + 1;
    }
    if (!removed) return;
    kept.insert(kept.end(), units.begin() + position, units.begin() + count);
    const bool nothing_left = kept.empty() || kept[0] == L'\0';
    if (nothing_left) {
        RegDeleteValueW(key.get(), pending_value);
    } else {
        RegSetValueExW(key.get(), pending_value, 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(kept.data()),
                       static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
    }
}
