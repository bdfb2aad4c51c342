#pragma once
// Extra serial devices registered under a COM number.
//
// The tool names ports COMn everywhere. Real USB serial adapters get their
// number from a fixed rule (see ComPortNames.h); a device that has no such
// rule (the simulated logger's pseudo-terminal) is registered here instead:
// a symbolic link named "COM<n>" in the port directory pointing to the device.
// Plain C++ so that the simulator can register itself without Qt. On Windows
// nothing is ever registered: its ports all carry their COM names.
//
// The registrations and the single-instance lock live in a folder that is the
// user's own: another local user who could write there could register a
// pseudo-terminal of theirs under the user's COM number, or plant links that
// make the user's programs write where they did not mean to. A folder is
// taken only when it is a real folder (not a symbolic link), owned by the user
// and writable by nobody else; files are made in it without following links.
#include <map>
#include <string>

namespace zelt {

// Who a uid is, for messages: "user NAME (uid N)" when the system knows a
// name for it, else "uid N".
std::string ownerName(long uid);

// Checks that path is a folder only the user can write: not a symbolic link,
// owned by the user, not writable by group or others. With create, a missing
// folder is made first (mode 0700). Returns false with *error naming the
// folder and what is wrong with it.
bool checkPrivateFolder(const std::string& path, bool create, std::string* error);

// The user's folder for the tool's runtime files: $XDG_RUNTIME_DIR when set,
// else zelt-view-<uid> in $TMPDIR (or /tmp), made on first use. "" with
// *error when it cannot be made or is not the user's own.
std::string privateFolder(std::string* error = nullptr);

// The directory holding the registrations: $ZELT_PORT_DIR when set (tests use
// it to keep their devices private), else zelt-view-ports in the private
// folder. "" with *error when it is not the user's own (or cannot be made).
std::string portDirectory(std::string* error = nullptr);
// Why the port directory cannot be used; "" when it can.
std::string portDirectoryProblem();

// Registers devicePath as COM<comNumber> for this process. A registration of
// that number whose process still runs and whose device still exists is never
// replaced: false, with *error saying which process holds it. Returns false
// and fills *error also when the link cannot be made.
bool registerPort(int comNumber, const std::string& devicePath, std::string* error = nullptr);
// Removes this process's registration of COM<comNumber>; another process's
// registration of the number stays.
void unregisterPort(int comNumber);

// COM number -> device path of every registration that counts: a symbolic
// link owned by the user, pointing at a pseudo-terminal of the user's that
// still exists, made by a process that still runs.
std::map<int, std::string> registeredPorts();

}  // namespace zelt
