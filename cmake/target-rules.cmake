# Rules every Win32 executable of ours is built under: code for a 486, no C
# runtime, no exceptions or RTTI, PE subsystem and OS version 4.0, no
# timestamp, so that two builds of one tree give the same bytes.
set(QIV_TARGET_COMPILE_OPTIONS
  -march=i486 -mtune=i486 -Os
  -ffreestanding -fno-exceptions -fno-rtti -fno-threadsafe-statics
  -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-stack-protector
  -fno-ident -ffunction-sections -fdata-sections
  -Wall -Wextra)
set(QIV_TARGET_LINK_OPTIONS
  -nostdlib -nostartfiles -s
  -Wl,--subsystem,windows:4.0
  -Wl,--major-os-version,4 -Wl,--minor-os-version,0
  -Wl,--no-insert-timestamp -Wl,--fatal-warnings -Wl,--gc-sections
  -Wl,--build-id=none)
set(QIV_TARGET_LIBS kernel32 user32 gdi32 advapi32 gcc)

# qiv_target_program(NAME SOURCES...): a GUI executable with our start-up code.
function(qiv_target_program name)
  add_executable(${name} WIN32 ${ARGN})
  target_compile_options(${name} PRIVATE ${QIV_TARGET_COMPILE_OPTIONS})
  target_link_options(${name} PRIVATE ${QIV_TARGET_LINK_OPTIONS} -mwindows
    -Wl,-e,_WinMainCRTStartup@0)
  target_link_libraries(${name} PRIVATE qiv_start ${QIV_TARGET_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QIV_DIST_DIR})
endfunction()
