# The project's version (project(VERSION)) as the programs report it: a generated header for
# the code, and a Windows version resource for each shipped binary.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
               ${CMAKE_BINARY_DIR}/generated/pellix_version.h @ONLY)

# pellix_version_resource(target file-name description type): what Explorer shows under
# Properties > Details. type is VFT_DLL or VFT_APP.
function(pellix_version_resource target file_name description type)
  set(PELLIX_RC_FILE_NAME ${file_name})
  set(PELLIX_RC_DESCRIPTION ${description})
  set(PELLIX_RC_TYPE ${type})
  set(rc ${CMAKE_BINARY_DIR}/generated/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
