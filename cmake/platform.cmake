# platform.cmake: how Windows binaries are built and linked. Each folder's
# CMakeLists picks its platform's sources by file.
if(WIN32)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
  if(MINGW)
    # No runtime DLL beyond the system's: libgcc, libstdc++ and winpthread inside.
    add_link_options(-static -static-libgcc -static-libstdc++)
    # Unused functions of the static runtime stay out of the program.
    add_compile_options(-ffunction-sections -fdata-sections)
    add_link_options(-Wl,--gc-sections)
  endif()
endif()
