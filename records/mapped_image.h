#pragma once
// Whether a file is the program the system started. A path does not follow
// a rename: the file opened by the running program's path may be another
// program put there after the system mapped this one.
#include <cstdio>

// True when file, read from its start, holds the image mapped at image (the
// module's base): its headers and every section that is not writable match
// the memory byte for byte, once the relocations the loader applied for the
// base it chose are applied to the file's bytes too. The loader changes
// nothing else that is not writable, so any other file fails.
bool file_is_mapped_image(std::FILE* file, const void* image);
