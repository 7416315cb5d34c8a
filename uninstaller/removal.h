// The uninstaller, unqiv.exe: a program without a window that, after a
// confirmation, takes one installation of the input method off the machine
// in one straight sequence and reports the outcome in a message box.
//
// It knows two installation families and tells them apart only by the file
// name of the module it finds: "QIV95.IME" (what qiv98.exe installs) and
// "QIVNT.IME" (the NT family's, with four tables and its own entry).
#ifndef QIV_UNINSTALLER_REMOVAL_H
#define QIV_UNINSTALLER_REMOVAL_H

#include "win32.h"

namespace unqiv {

// Exit status of the program, one value per end of a run. Nothing on the
// machine reads it; it lets a caller (a test, a script) tell the ends apart.
enum ExitStatus {
  kExitLayoutInUse = 0,     // a loaded layout could not be unloaded; nothing changed
  kExitCancelled = 1,       // anything but OK at the confirmation; nothing changed
  kExitNotPresent = 2,      // no layout, layout key or module file found; nothing changed
  kExitRemovalFailed = 3,   // the module file stays (or the system directory was not
                            // given); the further files and the uninstall entry kept
  kExitRemoved = 4          // the module file deleted or missing; the further files
                            // as far as they could be deleted; the uninstall entry
};

// Which installation a run removes. Set once, by the first finding step
// that finds one; the later steps run only while it is still none.
enum InstallFamily { kFamilyNone = 0, kFamilyNT = 1, kFamily95 = 2 };
// What FindAndUnloadLayout returns when the layout it found is still in use.
enum { kLayoutInUse = -1 };
// What RemoveFamily returns.
enum { kRemovalFailed = 0, kRemoved = 1 };

// Where a file lives.
enum FileDirectory { kSystemDirectory = 0, kWindowsDirectory = 1 };

enum {
  kLayoutCapacity = 30,     // handles asked of GetKeyboardLayoutList
  kModuleNameSize = 32,     // bytes for the module name of a loaded layout
  kKeyNameSize = 100,       // characters for a subkey name in the walk of the layouts key
  kImeFileSize = 100,       // bytes for an "IME file" value
  kLayoutIdSize = 9,        // "%X" of a 32-bit handle and its zero
  kPathSize = MAX_PATH,     // a directory and a file name appended to it
  kMaxFurtherFiles = 4
};

// Constant data of one family.
struct FamilyRecord {
  const char *moduleFile;   // in the system directory, backslash included
  const char *moduleName;   // as the input-method manager registers it
  int furtherDirectory;     // FileDirectory of the further files
  int furtherCount;
  const char *furtherFiles[kMaxFurtherFiles];  // deleted in this order
  const char *entryKey;     // under the uninstall key
};

// Both families, NT first: names are compared in this order, and when both
// module files exist the NT family is the one removed.
enum { kFamilyCount = 2 };
extern const FamilyRecord FamilyTable[kFamilyCount];
extern const char kLayoutsKey[];
extern const char kUninstallKey[];

// The record of kFamilyNT or kFamily95.
const FamilyRecord *RecordOf(int family);
// The family whose registered module name is exactly this text (letter case
// included), NT compared first; kFamilyNone when neither.
int FamilyOfModuleName(const char *name);

// What BuildPath made.
enum PathStatus {
  kPathUnknown = 0,   // the platform gave no directory: nothing is known of the file
  kPathBuilt = 1,     // path holds directory + name
  kPathTooLong = 2    // the directory, or the whole path, does not fit MAX_PATH:
                      // no file the platform can reach has that path
};
// Builds directory + name into path (kPathSize bytes) and returns the
// PathStatus; path is an empty text unless built. A file whose path is not
// built is treated as one that does not exist.
int BuildPath(char *path, int directory, const char *name);
// Whether the file's attributes can be read.
int FileExists(const char *path);
// Whether the platform says there is no such file: its attributes cannot be
// read because the file or its directory is not found. A failure for any
// other reason is no evidence that the file is gone.
int FileIsMissing(const char *path);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int show);
// The confirmation, the finding steps, the removal and the one closing
// message. Returns the ExitStatus.
int RunRemoval(void);
// The first loaded layout served by either family's module is unloaded and
// its layout key deleted. Returns the family, kFamilyNone, or kLayoutInUse.
int FindAndUnloadLayout(void);
// The first layout key, in enumeration order, whose "IME file" names either
// family's module is deleted. Returns the family or kFamilyNone.
int FindLayoutKey(void);
// The family whose module file exists in the system directory, NT first, or
// kFamilyNone.
int FindModuleFile(void);
// Deletes the family's module file, its further files and its uninstall
// entry. A module file that is missing, or whose path does not fit, counts
// as deleted. Returns kRemovalFailed when the module file cannot be deleted
// and is not known to be missing (nor is it when the system directory
// cannot be fetched); then nothing after it is touched.
int RemoveFamily(int family);

}  // namespace unqiv

#endif
