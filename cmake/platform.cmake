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
    # The same sources give the same bytes, wherever and whenever they are
    # built: no time stamp in the PE header, no build path inside.
    add_link_options(-Wl,--no-insert-timestamp)
    add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
  endif()
endif()
