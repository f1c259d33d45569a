# Builds the game's installer: run by cmake -P with PARAMETERS (written by cmake/installer.cmake),
# LAUNCHER and REPORT (the programs to install) and PLUGIN (installation.dll, in a folder of its
# own). Lists the game folder as it is now, writes WORK/game.nsh (the names, the files to install,
# the signing) and WORK/own-files.txt (this version's own list, which the installer and the
# uninstaller carry, UTF-8, one entry a line) for installer/installer.nsi, and runs makensis over
# it. A failed build leaves no installer behind.
include("${PARAMETERS}")
include("${SOURCE_DIR}/installer/game-files.cmake")

# TEXT as the inside of an NSIS string that the installer shows or uses at run time: a dollar sign
# is NSIS's escape character, and a "${" would be taken for a define, so it goes in as the code
# point ${U+24} twice (one dollar at run time); a double quote is $\".
function(nsis_escape text out)
  string(REPLACE "$" "\${U+24}\${U+24}" text "${text}")
  string(REPLACE "\"" "$\\\"" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()
function(nsis_text text out)
  nsis_escape("${text}" text)
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()
# "$INSTDIR\RELATIVE" (or "$INSTDIR" for ""), as an NSIS string.
function(nsis_installed relative out)
  nsis_escape("${relative}" relative)
  if(NOT relative STREQUAL "")
    set(relative "\\${relative}")
  endif()
  set(${out} "\"$INSTDIR${relative}\"" PARENT_SCOPE)
endfunction()
# PATH, a file of this machine, as an NSIS string that makensis reads at build time: there a
# dollar sign stands for itself, but "${" would still be taken for a define.
function(nsis_build_path path out)
  string(REPLACE "$" "\${U+24}" path "${path}")
  string(REPLACE "\"" "\${U+22}" path "${path}")
  set(${out} "\"${path}\"" PARENT_SCOPE)
endfunction()
# The folder part of a relative PATH, "" for a file at the top.
function(parent_folder path out)
  set(folder "")
  if(path MATCHES "^(.*)\\\\[^\\\\]*$")
    set(folder "${CMAKE_MATCH_1}")
  endif()
  set(${out} "${folder}" PARENT_SCOPE)
endfunction()

file(REMOVE "${OUTPUT}" "${WORK}/uninstall.exe")
set(files "")
set(dirs "")
if(NOT GAME_FILES STREQUAL "")
  launcher_list_game_files("${GAME_FILES}" "The game folder ${GAME_FILES}" "${LAUNCHER_FILE}"
                           files dirs)
endif()

# The licence and the notices with Windows' line ends, for Notepad.
foreach(text LICENSE THIRD-PARTY-NOTICES.txt)
  file(READ "${SOURCE_DIR}/${text}" content)
  string(REPLACE "\r\n" "\n" content "${content}")
  string(REPLACE "\n" "\r\n" content "${content}")
  file(WRITE "${WORK}/${text}" "${content}")
endforeach()

set(nsh "; Written by installer/build-installer.cmake for this build.\n")
get_filename_component(plugin_dir "${PLUGIN}" DIRECTORY)
nsis_text("${GAME_NAME}" name)
nsis_text("${GAME_VERSION}" version)
nsis_text("${PUBLISHER}" publisher)
# The version as Windows' version block takes it, four numbers; and the game's site, the landing
# page's origin, for Installed apps.
string(REPLACE "." ";" version_parts "${GAME_VERSION}")
list(LENGTH version_parts count)
while(count LESS 4)
  list(APPEND version_parts 0)
  math(EXPR count "${count} + 1")
endwhile()
list(JOIN version_parts "." version_4)
string(REGEX REPLACE "^([Hh][Tt][Tt][Pp][Ss]://)([^/?#@]*@)?([^/?#]+).*$" "https://\\3" site
       "${LANDING_URL}")
nsis_text("${site}" site)
nsis_text("${LAUNCHER_FILE}" launcher_file)
string(APPEND nsh "!define STUB ${STUB}\n" "!define GAME_NAME ${name}\n"
                  "!define GAME_VERSION ${version}\n" "!define PUBLISHER ${publisher}\n"
                  "!define VERSION_4 ${version_4}\n" "!define SITE ${site}\n"
                  "!define LAUNCHER_FILE ${launcher_file}\n")
foreach(pair "OUTPUT;${OUTPUT}" "ICON;${ICON}" "LAUNCHER;${LAUNCHER}" "REPORT;${REPORT}"
             "LICENSE;${WORK}/LICENSE" "NOTICES;${WORK}/THIRD-PARTY-NOTICES.txt"
             "OWN_LIST;${WORK}/own-files.txt")
  list(GET pair 0 define)
  list(GET pair 1 path)
  nsis_build_path("${path}" quoted)
  string(APPEND nsh "!define ${define}_SOURCE ${quoted}\n")
endforeach()
foreach(pair "PLUGIN_DIR;${plugin_dir}" "SOURCE_DIR;${SOURCE_DIR}")
  list(GET pair 0 define)
  list(GET pair 1 path)
  nsis_build_path("${path}" quoted)
  string(APPEND nsh "!define ${define} ${quoted}\n")
endforeach()

# The game's files, folder by folder, each through INSTALL_FILE (installer/install.nsh). The own
# list names the installer's files, every game file and then every folder, the deepest first: a
# folder goes only once empty, so a player's saves stay, and so does the folder that holds them.
# (Text, not a CMake list: a folder's entry ends in a backslash, which would escape the list's
# next semicolon.)
set(own "${LAUNCHER_FILE}\nlauncher-report.exe\nLICENSE\nTHIRD-PARTY-NOTICES.txt\n")
string(APPEND nsh "!macro INSTALL_GAME_FILES\n")
foreach(dir IN LISTS dirs)
  nsis_installed("${dir}" quoted)
  string(APPEND nsh "  CreateDirectory ${quoted}\n")
endforeach()
foreach(file IN LISTS files)
  parent_folder("${file}" folder)
  string(REGEX REPLACE "^.*\\\\" "" leaf "${file}")
  if(NOT folder STREQUAL "")
    set(folder "\\${folder}")
  endif()
  nsis_escape("${folder}" out_folder)
  nsis_escape("${leaf}" out_name)
  string(REPLACE "\\" "/" relative "${file}")
  nsis_build_path("${GAME_FILES}/${relative}" source)
  string(APPEND nsh "  !insertmacro INSTALL_FILE \"${out_folder}\" \"${out_name}\" ${source}\n")
  string(APPEND own "${file}\n")
endforeach()
if(NOT SHORTCUT_TARGET STREQUAL "")
  # The game's own shortcut, made here so that it leads to the installed program and starts in its
  # folder: one made on the build machine would lead to that machine's path.
  parent_folder("${SHORTCUT_TARGET}" target_folder)
  parent_folder("${GAME_SHORTCUT}" shortcut_folder)
  foreach(name target_folder shortcut_folder SHORTCUT_TARGET GAME_SHORTCUT)
    nsis_installed("${${name}}" ${name}_text)
  endforeach()
  string(APPEND nsh "  CreateDirectory ${shortcut_folder_text}\n"
                    "  SetOutPath ${target_folder_text}\n"
                    "  CreateShortCut ${GAME_SHORTCUT_text} ${SHORTCUT_TARGET_text}\n"
                    "  !insertmacro EXPECT_MADE ${GAME_SHORTCUT_text}\n")
  string(APPEND own "${GAME_SHORTCUT}\n")
  # Its folders, which the game folder may not have, go as the game's own do.
  while(NOT shortcut_folder STREQUAL "")
    list(APPEND dirs "${shortcut_folder}")
    parent_folder("${shortcut_folder}" shortcut_folder)
  endwhile()
  list(REMOVE_DUPLICATES dirs)
  list(SORT dirs)
endif()
list(REVERSE dirs)
foreach(dir IN LISTS dirs)
  string(APPEND own "${dir}\\\n")
endforeach()
string(APPEND nsh "!macroend\n")
file(WRITE "${WORK}/own-files.txt" "${own}")

# Signing: the same step as the programs', on the installer and on the uninstaller before makensis
# stores it; a signature that does not verify fails the build.
if(NOT SIGNING_PARAMETERS STREQUAL "")
  foreach(finalize finalize uninstfinalize)
    set(command "'${CMAKE_COMMAND}' '-DPARAMETERS=${SIGNING_PARAMETERS}' '-DEXE=%1'")
    if(finalize STREQUAL "uninstfinalize")
      # makensis keeps the uninstaller only inside the installer: a copy, for the build's checks.
      string(APPEND command " '-DCOPY=${WORK}/uninstall.exe'")
    endif()
    string(APPEND command " -P '${SOURCE_DIR}/cmake/sign-executable.cmake'")
    nsis_build_path("${command}" command)
    string(REPLACE "\"" "`" command "${command}")
    string(APPEND nsh "!${finalize} ${command} = 0\n")
  endforeach()
endif()
file(WRITE "${WORK}/game.nsh" "${nsh}")

execute_process(COMMAND "${MAKENSIS}" -V2 -INPUTCHARSET UTF8 "-DWORK=${WORK}"
                        "${SOURCE_DIR}/installer/installer.nsi"
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(failed OR NOT EXISTS "${OUTPUT}")
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "makensis did not build ${OUTPUT}:\n${output}")
endif()
if(NOT output STREQUAL "")
  message("${output}")
endif()
