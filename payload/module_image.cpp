// The input-method module in its compressed form, expanded only while it is
// written (DecodeModule).
#include "payload.h"

const unsigned char ModuleStream[] = {
#include "module_stream.inc"
};
const DWORD ModuleStreamSize = sizeof ModuleStream;
