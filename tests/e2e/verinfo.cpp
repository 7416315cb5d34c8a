// verinfo FILE [ICON_ID]: prints what Windows tells a program about FILE's
// version record, through the ANSI functions (so its texts come out in the
// active code page), and the images of its icon group ICON_ID.
//
//   fixed=<file version> <product version> os=<hex> type=<n>
//   translation=<language hex> <code page hex>
//   <name>=<value>            for each text of the first translation's block
//   icon <id>=<width>x<height>x<bits> ...
#include <windows.h>

#include <cstdio>
#include <vector>

static const char *const kNames[] = {"CompanyName",      "FileDescription", "FileVersion",
                                     "InternalName",     "LegalCopyright",  "OriginalFilename",
                                     "ProductName",      "ProductVersion"};

#pragma pack(push, 2)
struct GroupEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bits;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: verinfo FILE [ICON_ID]\n");
    return 2;
  }
  DWORD handle = 0, size = GetFileVersionInfoSizeA(argv[1], &handle);
  if (!size) {
    std::printf("no version record\n");
    return 1;
  }
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(argv[1], 0, size, data.data())) return 1;
  VS_FIXEDFILEINFO *fixed;
  UINT length;
  if (VerQueryValueA(data.data(), "\\", (void **)&fixed, &length) && length >= sizeof *fixed)
    std::printf("fixed=%u.%u.%u.%u %u.%u.%u.%u os=%lx type=%lu\n", HIWORD(fixed->dwFileVersionMS),
                LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS),
                HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS), fixed->dwFileOS,
                fixed->dwFileType);
  WORD *translation;
  if (VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", (void **)&translation, &length) && length >= 4) {
    std::printf("translation=%04x %04x\n", translation[0], translation[1]);
    for (const char *name : kNames) {
      char path[128];
      wsprintfA(path, "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1], name);
      char *value;
      if (VerQueryValueA(data.data(), path, (void **)&value, &length) && length)
        std::printf("%s=%s\n", name, value);
    }
  }
  if (argc > 2) {
    int id = atoi(argv[2]);
    HMODULE module = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC group = module ? FindResourceA(module, MAKEINTRESOURCEA(id), (LPCSTR)RT_GROUP_ICON) : nullptr;
    if (!group) {
      std::printf("icon %d=none\n", id);
      return 1;
    }
    const BYTE *bytes = (const BYTE *)LockResource(LoadResource(module, group));
    WORD count = ((const WORD *)bytes)[2];
    const GroupEntry *entries = (const GroupEntry *)(bytes + 6);
    std::printf("icon %d=", id);
    for (WORD i = 0; i < count; ++i)
      std::printf(i ? " %ux%ux%u" : "%ux%ux%u", entries[i].width, entries[i].height, entries[i].bits);
    std::printf("\n");
  }
  return 0;
}
