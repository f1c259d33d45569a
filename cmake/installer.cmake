# The game's per-user installer (installer/installer.nsi), built with NSIS's makensis from the
# programs, the licences and the game folder. The release build makes the publisher's
# (cmake/shipping.cmake); the Wine test builds make one of a demonstration game, which the
# end-to-end scenario installs and the demonstration (scripts/run) too.
find_program(LAUNCHER_MAKENSIS makensis)

# launcher_add_installer(TARGET OUTPUT FILE LAUNCHER FILE REPORT FILE PLUGIN FILE LAUNCHER_FILE NAME
#                        LANDING_URL URL GAME_NAME TEXT GAME_VERSION TEXT PUBLISHER TEXT ICON FILE
#                        [GAME_FILES FOLDER [GAME_DEPENDS FILES...]]
#                        [GAME_SHORTCUT PATH SHORTCUT_TARGET PATH] [SIGNING_PARAMETERS FILE])
# Adds TARGET (built by default), which writes the installer OUTPUT. LAUNCHER and REPORT are the
# programs to install (generator expressions allowed), PLUGIN the installer's own installation.dll
# (alone in its folder), LAUNCHER_FILE the launcher's installed name.
# The game folder's files are the build's inputs: the ones configure finds there, or GAME_DEPENDS
# for a folder that the build makes itself. With SIGNING_PARAMETERS (cmake/signing.cmake) the
# installer and its uninstaller are signed and verified as the programs are.
function(launcher_add_installer target)
  cmake_parse_arguments(ARG "" "OUTPUT;LAUNCHER;REPORT;PLUGIN;LAUNCHER_FILE;LANDING_URL;GAME_NAME;GAME_VERSION;PUBLISHER;ICON;GAME_FILES;GAME_SHORTCUT;SHORTCUT_TARGET;SIGNING_PARAMETERS"
                        "GAME_DEPENDS" ${ARGN})
  if(NOT LAUNCHER_MAKENSIS)
    message(FATAL_ERROR "makensis was not found: the game's installer is built with NSIS (Debian package nsis; scripts/setup installs it).")
  endif()
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(stub amd64-unicode)
  else()
    set(stub x86-unicode)
  endif()
  set(work ${CMAKE_BINARY_DIR}/installer/${target})
  file(MAKE_DIRECTORY ${work})
  set(game_inputs ${ARG_GAME_DEPENDS})
  if(NOT "${ARG_GAME_FILES}" STREQUAL "" AND NOT ARG_GAME_DEPENDS)
    # A file added or taken away runs configure again, which lists the folder anew.
    file(GLOB_RECURSE game_inputs CONFIGURE_DEPENDS "${ARG_GAME_FILES}/*")
  endif()
  set(parameters "")
  foreach(name OUTPUT LAUNCHER_FILE LANDING_URL GAME_NAME GAME_VERSION PUBLISHER ICON GAME_FILES GAME_SHORTCUT
               SHORTCUT_TARGET SIGNING_PARAMETERS)
    string(APPEND parameters "set(${name} [==[${ARG_${name}}]==])\n")
  endforeach()
  string(APPEND parameters "set(SOURCE_DIR [==[${CMAKE_SOURCE_DIR}]==])\n"
                           "set(WORK [==[${work}]==])\n"
                           "set(MAKENSIS [==[${LAUNCHER_MAKENSIS}]==])\n"
                           "set(STUB ${stub})\n")
  launcher_write_if_changed(${work}/parameters.cmake "${parameters}")
  set(sources installer/installer.nsi installer/install.nsh installer/uninstall.nsh
              installer/build-installer.cmake installer/game-files.cmake
              LICENSE THIRD-PARTY-NOTICES.txt cmake/sign-executable.cmake)
  list(TRANSFORM sources PREPEND ${CMAKE_SOURCE_DIR}/)
  add_custom_command(OUTPUT ${ARG_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -DPARAMETERS=${work}/parameters.cmake -DLAUNCHER=${ARG_LAUNCHER}
            -DREPORT=${ARG_REPORT} -DPLUGIN=${ARG_PLUGIN}
            -P ${CMAKE_SOURCE_DIR}/installer/build-installer.cmake
    DEPENDS ${ARG_LAUNCHER} ${ARG_REPORT} ${ARG_PLUGIN} ${ARG_ICON} ${work}/parameters.cmake ${sources}
            ${game_inputs}
    COMMENT "Building the installer ${ARG_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${ARG_OUTPUT})
endfunction()
