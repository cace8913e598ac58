# What both MinGW-w64 toolchain files share; each sets its compilers and
# root path first, then includes this.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run under Wine, inside the build tree's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)

# Reproducible: the same commit gives the same QuellmarkSetup.exe, byte for
# byte, in any folder and at any time (tools/check-reproducible.sh). The PE
# header gets no link time, no object keeps the folder it was built in, and a
# date macro in the code is an error. (Archives are made deterministic in
# CMakeLists.txt: the platform files would override them here.)
get_filename_component(QM_SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
foreach(lang C CXX ASM)
  set(CMAKE_${lang}_FLAGS_INIT "-ffile-prefix-map=${QM_SOURCE_DIR}/= -Werror=date-time")
endforeach()
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,--no-insert-timestamp")
