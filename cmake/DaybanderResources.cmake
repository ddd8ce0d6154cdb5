# The resource script is compiled once, by windres, into a .res file that both
# builds use: linked into the DLL as a COFF resource section, and embedded in
# the native module as an ELF section ".rsrc" that winapi/ reads back.
find_program(DAYBANDER_WINDRES NAMES i686-w64-mingw32-windres windres REQUIRED)
# The IDL compiler that writes the type library (package mingw-w64-tools).
find_program(DAYBANDER_WIDL NAMES i686-w64-mingw32-widl widl REQUIRED)

# daybander_embed_res(<target> <res-file> <res-target>): make <target> an OBJECT
# library whose one object carries <res-file> in the section ".rsrc".
function(daybander_embed_res target res_file res_target)
  set(asm ${CMAKE_CURRENT_BINARY_DIR}/${target}.S)
  file(WRITE ${asm}.in
    "\t.section .rsrc,\"a\"\n\t.balign 4\n\t.incbin \"${res_file}\"\n\t.section .note.GNU-stack,\"\",@progbits\n")
  configure_file(${asm}.in ${asm} COPYONLY)
  add_library(${target} OBJECT ${asm})
  set_source_files_properties(${asm} PROPERTIES OBJECT_DEPENDS ${res_file})
  add_dependencies(${target} ${res_target})
endfunction()
