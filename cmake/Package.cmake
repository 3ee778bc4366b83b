# The player's archive, pellix-<version>-win32.zip (`cmake --build --preset win32 --target
# package`). Its files lie flat, as they lie in the game's folder: opened in Explorer, they are
# selected and dragged there in one go, and "Extract All" already makes a folder of its own.
set(PELLIX_VERSION ${PROJECT_VERSION})
# The guide, with the version filled in and Windows line ends for Notepad.
configure_file(${PROJECT_SOURCE_DIR}/docs/player-guide.md
               ${CMAKE_BINARY_DIR}/generated/pellix-guide.txt @ONLY NEWLINE_STYLE CRLF)

install(TARGETS pellix pellix-lab RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/data/pellix.ini ${PROJECT_SOURCE_DIR}/data/pellix_weapon.dat
              ${PROJECT_SOURCE_DIR}/data/pellix_surface.dat ${PROJECT_SOURCE_DIR}/data/pellix.fx
              ${CMAKE_BINARY_DIR}/generated/pellix-guide.txt
        DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME pellix)
set(CPACK_PACKAGE_VENDOR "the Pellix developers")
set(CPACK_PACKAGE_FILE_NAME pellix-${PROJECT_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)  # symbols are of no use to a player
include(CPack)
