# What the game's installer takes from the publisher's game folder, and what it refuses there: read
# by configure (cmake/build_options.cmake), to refuse a folder before anything is built, and by
# installer/build-installer.cmake, which lists the folder again when it builds the installer, so
# that the installer holds, and its uninstaller removes, exactly what the folder holds then.

# True in OUT when TEXT holds a control character (0x01 to 0x1F, or 0x7F).
function(launcher_has_control_character text out)
  set(found FALSE)
  foreach(code RANGE 1 31)
    string(ASCII ${code} character)
    string(FIND "${text}" "${character}" at)
    if(NOT at EQUAL -1)
      set(found TRUE)
    endif()
  endforeach()
  string(ASCII 127 delete)
  string(FIND "${text}" "${delete}" at)
  if(NOT at EQUAL -1)
    set(found TRUE)
  endif()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# The names the installer gives its own files in the installation folder: no game file may take
# one, or one of the two would be lost (and the uninstaller would remove the other's).
function(launcher_installer_own_names launcher_file out)
  set(${out} "${launcher_file}" launcher-report.exe LICENSE THIRD-PARTY-NOTICES.txt uninstall.exe
      installed-files.txt replaced-while-running
      PARENT_SCOPE)
endfunction()

# A name that Windows can have as a file or folder name: not empty, none of \ / : * ? " < > | or a
# control character, no dot or space at its end, and not a device name Windows reserves. Sets OUT
# to "" when NAME is one, else to the reason it is not.
function(launcher_windows_name_fault name out)
  set(fault "")
  launcher_has_control_character("${name}" control)
  string(TOUPPER "${name}" upper)
  if(name STREQUAL "")
    set(fault "it is empty")
  elseif(name MATCHES "[\\\\/:*?\"<>|]" OR control)
    set(fault "it holds a character that Windows forbids in file names (\\ / : * ? \" < > | or a control character)")
  elseif(name MATCHES "[. ]$")
    set(fault "it ends in a dot or a space, which Windows drops from file names")
  elseif(upper MATCHES "^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?$")
    set(fault "it is a device name that Windows reserves")
  endif()
  set(${out} "${fault}" PARENT_SCOPE)
endfunction()

# Lists FOLDER for the installer: FILES_OUT gets every file's path below it and DIRS_OUT every
# folder's, relative, with backslashes, sorted. Fails, naming WHAT, when an entry is not a name
# Windows can have, when two entries differ only in case (Windows keeps one of them), or when one
# takes a name of the installer's own files (LAUNCHER_FILE is the launcher's).
function(launcher_list_game_files folder what launcher_file files_out dirs_out)
  file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${folder}" "${folder}/*")
  list(SORT entries)
  launcher_installer_own_names("${launcher_file}" own)
  string(TOLOWER "${own}" own_lower)
  string(REPLACE ";" ", " own_shown "${own}")
  set(files "")
  set(dirs "")
  set(seen "")
  foreach(entry IN LISTS entries)
    # CMake's lists take a semicolon for the end of an item: a name that holds one comes out cut.
    if(NOT EXISTS "${folder}/${entry}" AND NOT IS_SYMLINK "${folder}/${entry}")
      message(FATAL_ERROR "${what}: a name that holds a semicolon (\"${entry}\" is part of it), which the build cannot list; rename it.")
    endif()
    string(REPLACE "/" ";" parts "${entry}")
    foreach(part IN LISTS parts)
      launcher_windows_name_fault("${part}" fault)
      if(NOT fault STREQUAL "")
        message(FATAL_ERROR "${what}: \"${entry}\" cannot be installed on Windows: \"${part}\": ${fault}.")
      endif()
    endforeach()
    string(FIND "${entry}" "\${" brace)
    if(NOT brace EQUAL -1)
      message(FATAL_ERROR "${what}: \"${entry}\" holds \"\${\", which CMake reads as a variable when it checks the folder for changes; rename it.")
    endif()
    string(TOLOWER "${entry}" lower)
    list(FIND seen "${lower}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "${what}: two entries are named \"${entry}\" apart from case; Windows' file names ignore case, so one would overwrite the other.")
    endif()
    list(APPEND seen "${lower}")
    list(FIND own_lower "${lower}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "${what}: \"${entry}\" has the name of a file the installer puts there itself (${own_shown}); rename it.")
    endif()
    string(REPLACE "/" "\\" windows "${entry}")
    if(IS_DIRECTORY "${folder}/${entry}")
      list(APPEND dirs "${windows}")
    else()
      list(APPEND files "${windows}")
    endif()
  endforeach()
  set(${files_out} "${files}" PARENT_SCOPE)
  set(${dirs_out} "${dirs}" PARENT_SCOPE)
endfunction()
