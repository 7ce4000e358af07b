# kl_embed_version_info(<target> <rc-file>)
#
# Gives an ELF program or shared library the version information a resource
# script describes: the script's VERSIONINFO is compiled with the mingw-w64
# resource compiler, its version block is copied out of the compiled resource
# file, and after every link the block is added to the target's file as the
# ".kl_version" section, where the version reader looks for it. The section
# is not loaded at run time; it is only file data.
#
# The script is run through the C preprocessor and read as UTF-8, as the
# resource scripts of our PE test files are. Debian packages:
# binutils-mingw-w64-x86-64 (the resource compiler), cpp, binutils (objcopy).

find_program(KL_WINDRES x86_64-w64-mingw32-windres)
find_program(KL_RC_PREPROCESSOR cpp)
# The toolchain's own objcopy, so that it understands the target's files.
if(CMAKE_OBJCOPY)
  set(KL_OBJCOPY "${CMAKE_OBJCOPY}")
else()
  find_program(KL_OBJCOPY objcopy)
endif()

function(kl_embed_version_info target rc_file)
  foreach(_tool KL_WINDRES KL_RC_PREPROCESSOR KL_OBJCOPY)
    if(NOT ${_tool})
      message(FATAL_ERROR "kl_embed_version_info(${target}): ${_tool} was not found "
                          "(Debian packages binutils-mingw-w64-x86-64, cpp, binutils)")
    endif()
  endforeach()
  get_filename_component(_rc "${rc_file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  set(_dir "${CMAKE_CURRENT_BINARY_DIR}/${target}.version")
  set(_res "${_dir}/version.res")
  set(_block "${_dir}/version.block")

  add_custom_command(
    OUTPUT "${_block}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${_dir}"
    COMMAND ${KL_WINDRES} --preprocessor=${KL_RC_PREPROCESSOR} -c 65001 -O res "${_rc}" -o "${_res}"
    COMMAND kl_extract_version_block "${_res}" "${_block}"
    DEPENDS "${_rc}" kl_extract_version_block
    COMMENT "Compiling the version information of ${target}"
    VERBATIM)
  add_custom_target(${target}_version_block DEPENDS "${_block}")
  add_dependencies(${target} ${target}_version_block)
  # A changed script links the target again, so that the step below runs.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${_block}")

  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${KL_OBJCOPY} --remove-section .kl_version --add-section ".kl_version=${_block}"
            "$<TARGET_FILE:${target}>"
    VERBATIM)
endfunction()
