# The publisher's build options: fixed at build time, never read at run time.
#   LAUNCHER_LANDING_URL   the landing-page address, used exactly as given
#   LAUNCHER_ICON          the .ico file placed as the icon group ICON_1
#   LAUNCHER_OUTPUT_NAME   the executable's file name, without .exe
#   LAUNCHER_GAME_SHORTCUT, LAUNCHER_GAME_URL_SHORTCUT, LAUNCHER_COMPANION
#                          the follow-up items, below the current folder
#   LAUNCHER_SIGN_*        Authenticode signing (cmake/signing.cmake)
#   LAUNCHER_GAME_NAME, LAUNCHER_GAME_FILES, LAUNCHER_GAME_VERSION,
#   LAUNCHER_GAME_SHORTCUT_TARGET, LAUNCHER_PUBLISHER, LAUNCHER_INSTALLER_NAME
#                          the game's installer (cmake/installer.cmake)
# Configure refuses values the launcher could not use, before anything is built. They shape the
# programs of a publisher's build (the release preset) only: the test presets build and test the
# launcher with the defaults, and say so when an option is given.
set(LAUNCHER_DEFAULT_LANDING_URL "https://www.wgame.example/index.php?id=304&r=720")
set(LAUNCHER_DEFAULT_ICON ${CMAKE_SOURCE_DIR}/res/launcher.ico)
set(LAUNCHER_DEFAULT_OUTPUT_NAME launcher)
set(LAUNCHER_DEFAULT_GAME_SHORTCUT play.lnk)
set(LAUNCHER_DEFAULT_GAME_URL_SHORTCUT play.url)
set(LAUNCHER_DEFAULT_COMPANION "fscommand\\wgame.exe")
set(LAUNCHER_DEFAULT_GAME_NAME wgame)
set(LAUNCHER_DEFAULT_GAME_VERSION 1.0)
set(LAUNCHER_LANDING_URL ${LAUNCHER_DEFAULT_LANDING_URL}
    CACHE STRING "The landing-page address: an absolute https address with a host")
set(LAUNCHER_ICON ${LAUNCHER_DEFAULT_ICON} CACHE FILEPATH "The .ico file placed as the icon group ICON_1")
set(LAUNCHER_OUTPUT_NAME ${LAUNCHER_DEFAULT_OUTPUT_NAME} CACHE STRING "The launcher's file name, without .exe")
set(LAUNCHER_GAME_SHORTCUT ${LAUNCHER_DEFAULT_GAME_SHORTCUT} CACHE STRING
    "The game's shortcut, opened after the browser: a relative path below the current folder")
set(LAUNCHER_GAME_URL_SHORTCUT ${LAUNCHER_DEFAULT_GAME_URL_SHORTCUT} CACHE STRING
    "The game's Internet shortcut, opened when there is no LAUNCHER_GAME_SHORTCUT: a relative path")
set(LAUNCHER_COMPANION "${LAUNCHER_DEFAULT_COMPANION}" CACHE STRING
    "The companion program, opened after the shortcut: a relative path below the current folder")
set(LAUNCHER_GAME_NAME ${LAUNCHER_DEFAULT_GAME_NAME} CACHE STRING
    "The game's name: its installation folder, its Start-menu folder and its entry in Installed apps")
set(LAUNCHER_GAME_FILES "" CACHE PATH
    "The game folder that the installer installs whole (play.lnk or play.url, the companion, the game's files); none by default")
set(LAUNCHER_GAME_VERSION ${LAUNCHER_DEFAULT_GAME_VERSION} CACHE STRING "The game's version, shown in Installed apps")
set(LAUNCHER_GAME_SHORTCUT_TARGET "" CACHE STRING
    "A program in the game folder: the installer makes LAUNCHER_GAME_SHORTCUT lead to it, at install time")
set(LAUNCHER_PUBLISHER "" CACHE STRING "The publisher shown in Installed apps (default: the landing page's host)")
set(LAUNCHER_INSTALLER_NAME "" CACHE STRING
    "The installer's file name, without .exe (default: LAUNCHER_OUTPUT_NAME-setup)")
set(LAUNCHER_SIGN_PKCS12 "" CACHE FILEPATH "A .pfx/.p12 file: sign the launcher and the report with its certificate")
set(LAUNCHER_SIGN_PASSWORD_FILE "" CACHE FILEPATH "A file holding the password of LAUNCHER_SIGN_PKCS12")
set(LAUNCHER_SIGN_PKCS11_MODULE "" CACHE FILEPATH "A PKCS#11 module: sign with a key on a token or in an HSM")
set(LAUNCHER_SIGN_KEY_URI "" CACHE STRING "The signing key on the token, as a pkcs11: URI (without the PIN)")
set(LAUNCHER_SIGN_CERTIFICATE "" CACHE FILEPATH "The certificate of the token's key, PEM, with its chain")
set(LAUNCHER_SIGN_PIN_FILE "" CACHE FILEPATH "A file holding the token's PIN on its first line")
set(LAUNCHER_SIGN_TIMESTAMP_URL "" CACHE STRING "An RFC 3161 timestamp server for the signatures (optional)")

include(${CMAKE_SOURCE_DIR}/installer/game-files.cmake)

# Writes FILE with CONTENT only when it differs, so that an unchanged configure keeps its time.
function(launcher_write_if_changed file content)
  if(EXISTS ${file})
    file(READ ${file} old)
    if(old STREQUAL content)
      return()
    endif()
  endif()
  file(WRITE ${file} "${content}")
endfunction()

if(CMAKE_SYSTEM_NAME STREQUAL "Windows" AND NOT LAUNCHER_WINE_TESTS)
  set(LAUNCHER_PUBLISHER_BUILD ON)
else()
  set(LAUNCHER_PUBLISHER_BUILD OFF)
  # The signing options and some of the installer's default to "" (no LAUNCHER_DEFAULT_ variable).
  foreach(name LANDING_URL ICON OUTPUT_NAME GAME_SHORTCUT GAME_URL_SHORTCUT COMPANION
               GAME_NAME GAME_FILES GAME_VERSION GAME_SHORTCUT_TARGET PUBLISHER INSTALLER_NAME
               SIGN_PKCS12 SIGN_PASSWORD_FILE SIGN_PKCS11_MODULE SIGN_KEY_URI SIGN_CERTIFICATE
               SIGN_PIN_FILE SIGN_TIMESTAMP_URL)
    set(value "${LAUNCHER_${name}}")
    set(default "${LAUNCHER_DEFAULT_${name}}")
    if(name STREQUAL "ICON")
      get_filename_component(value "${value}" REALPATH)
      get_filename_component(default "${default}" REALPATH)
    endif()
    if(NOT value STREQUAL default)
      message(WARNING "LAUNCHER_${name} is set, but the publisher's options shape only the "
                      "programs of the release preset (cmake --preset release "
                      "-DLAUNCHER_${name}=...). This build makes and tests the launcher with the "
                      "defaults.")
    endif()
  endforeach()
endif()

# The address goes to the browser as part of its argument line, unquoted and unescaped: a double
# quote or a space would split it, a control character would not survive at all.
function(launcher_check_landing_url url)
  set(rule "LAUNCHER_LANDING_URL must be an absolute https address with a host (https://host/...), without double quotes, spaces or control characters")
  string(TOLOWER "${url}" lower)
  launcher_has_control_character("${url}" control)
  if(NOT lower MATCHES "^https://([^/?#@]*@)?[^/?#@:]+(:[0-9]*)?([/?#].*)?$")
    message(FATAL_ERROR "${rule}; \"${url}\" has no https scheme or no host.")
  elseif(url MATCHES "[\" ]")
    message(FATAL_ERROR "${rule}; \"${url}\" holds a double quote or a space.")
  elseif(control)
    message(FATAL_ERROR "${rule}; the address holds a control character.")
  endif()
endfunction()

# Since Vista, with UAC on, Windows takes a 32-bit program without a requestedExecutionLevel in a
# manifest (the launcher has no manifest) for an installer when its file name holds one of these
# words, in any case, and asks for administrator rights before it starts it.
set(LAUNCHER_INSTALLER_WORDS install setup update instal patch upgrad)

function(launcher_check_output_name name)
  launcher_windows_name_fault("${name}" fault)
  if(NOT fault STREQUAL "")
    message(FATAL_ERROR "LAUNCHER_OUTPUT_NAME must be a Windows file name without .exe; \"${name}\" is not: ${fault}.")
  endif()
  string(TOLOWER "${name}" lower)
  foreach(word IN LISTS LAUNCHER_INSTALLER_WORDS)
    string(FIND "${lower}" "${word}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "LAUNCHER_OUTPUT_NAME \"${name}\" holds the installer word \"${word}\" (Windows looks for install, setup, update, instal, patch and upgrad, in any case). Since Vista, with UAC on, Windows takes a program so named for an installer and asks for administrator rights every time it starts, and the browser and the game that it starts then run as administrator too. Choose a name without these words.")
    endif()
  endforeach()
endfunction()

# The image list of an .ico file, one "WIDTHxHEIGHT@BITS" per image ("256x256@32" for 0 in the
# width and height bytes); refuses a file that is not an icon directory.
function(launcher_read_icon_images path out)
  set(rule "LAUNCHER_ICON must be a Windows icon file (.ico: an icon directory and its images)")
  if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
    message(FATAL_ERROR "${rule}; \"${path}\" is not a file.")
  endif()
  file(SIZE "${path}" size)
  file(READ "${path}" header LIMIT 6 HEX)
  if(size LESS 22 OR NOT header MATCHES "^00000100")
    message(FATAL_ERROR "${rule}; \"${path}\" does not start with an icon directory.")
  endif()
  string(SUBSTRING "${header}" 8 4 count_hex)
  string(SUBSTRING "${count_hex}" 2 2 high)
  string(SUBSTRING "${count_hex}" 0 2 low)
  math(EXPR count "0x${high}${low}")
  math(EXPR directory_size "6 + 16 * ${count}")
  if(count EQUAL 0 OR size LESS directory_size)
    message(FATAL_ERROR "${rule}; \"${path}\" holds no images or a cut-off directory.")
  endif()
  file(READ "${path}" directory OFFSET 6 LIMIT ${directory_size} HEX)
  set(images "")
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    math(EXPR at "${i} * 32")
    string(SUBSTRING "${directory}" ${at} 32 entry)
    # Little-endian fields: width, height (bytes 0 and 1), bits per pixel (6-7), size (8-11),
    # offset (12-15).
    string(SUBSTRING "${entry}" 0 2 w)
    string(SUBSTRING "${entry}" 2 2 h)
    string(SUBSTRING "${entry}" 14 2 bits_high)
    string(SUBSTRING "${entry}" 12 2 bits_low)
    set(bytes_hex "")
    set(offset_hex "")
    foreach(k 22 20 18 16)
      string(SUBSTRING "${entry}" ${k} 2 byte)
      string(APPEND bytes_hex ${byte})
    endforeach()
    foreach(k 30 28 26 24)
      string(SUBSTRING "${entry}" ${k} 2 byte)
      string(APPEND offset_hex ${byte})
    endforeach()
    math(EXPR width "0x${w}")
    math(EXPR height "0x${h}")
    math(EXPR bits "0x${bits_high}${bits_low}")
    math(EXPR end "0x${offset_hex} + 0x${bytes_hex}")
    if(width EQUAL 0)
      set(width 256)
    endif()
    if(height EQUAL 0)
      set(height 256)
    endif()
    if(end GREATER size OR bytes_hex STREQUAL "00000000")
      message(FATAL_ERROR "${rule}; image ${i} of \"${path}\" lies outside the file.")
    endif()
    list(APPEND images "${width}x${height}@${bits}")
  endforeach()
  set(${out} "${images}" PARENT_SCOPE)
endfunction()

# The longest follow-up name: the launcher hands it to Windows relative to the current folder, and
# Windows' path buffer (MAX_PATH, 260 units with the terminating zero) must hold the folder too; the
# shortest folder, a drive's root ("C:\"), leaves 256.
set(LAUNCHER_FOLLOW_UP_MAX_LENGTH 256)

# A follow-up item's path: relative, below the current folder, in Windows' own separators, and a
# name Windows can open.
function(launcher_check_follow_up variable path)
  set(rule "${variable} must be a relative path below the current folder, with backslashes")
  launcher_has_control_character("${path}" control)
  string(LENGTH "${path}" length)
  string(REPLACE "\\" ";" parts "${path}")
  if(path STREQUAL "")
    message(FATAL_ERROR "${rule}; it is empty.")
  elseif(path MATCHES "^\\\\" OR path MATCHES "^[A-Za-z]:")
    message(FATAL_ERROR "${rule}; \"${path}\" is absolute or names a drive.")
  elseif(path MATCHES "/")
    message(FATAL_ERROR "${rule}; \"${path}\" holds a forward slash (write fscommand\\wgame.exe, not fscommand/wgame.exe).")
  elseif(path MATCHES "[<>:\"|?*]" OR control)
    message(FATAL_ERROR "${rule}; \"${path}\" holds a character that Windows forbids in file names (< > : \" | ? * or a control character).")
  elseif(length GREATER LAUNCHER_FOLLOW_UP_MAX_LENGTH)
    message(FATAL_ERROR "${rule}; \"${path}\" is ${length} bytes long, more than the ${LAUNCHER_FOLLOW_UP_MAX_LENGTH} that Windows' path buffer leaves for it beside the shortest folder.")
  endif()
  foreach(part IN LISTS parts)
    launcher_windows_name_fault("${part}" fault)
    if(part STREQUAL "..")
      message(FATAL_ERROR "${rule}; \"${path}\" climbs out of the folder with \"..\".")
    elseif(part STREQUAL "" OR part STREQUAL ".")
      message(FATAL_ERROR "${rule}; \"${path}\" has an empty part (two backslashes together, or one at the end) or a \".\".")
    elseif(NOT fault STREQUAL "")
      message(FATAL_ERROR "${rule}; \"${part}\" in \"${path}\": ${fault}.")
    endif()
  endforeach()
endfunction()

launcher_check_landing_url("${LAUNCHER_LANDING_URL}")
launcher_check_output_name("${LAUNCHER_OUTPUT_NAME}")
launcher_check_follow_up(LAUNCHER_GAME_SHORTCUT "${LAUNCHER_GAME_SHORTCUT}")
launcher_check_follow_up(LAUNCHER_GAME_URL_SHORTCUT "${LAUNCHER_GAME_URL_SHORTCUT}")
launcher_check_follow_up(LAUNCHER_COMPANION "${LAUNCHER_COMPANION}")

# The installer's options. Sets LAUNCHER_PUBLISHER_NAME and LAUNCHER_INSTALLER_FILE_NAME, the
# publisher and the installer's file name with their defaults filled in.
function(launcher_check_installer_options)
  launcher_windows_name_fault("${LAUNCHER_GAME_NAME}" fault)
  if(NOT fault STREQUAL "")
    message(FATAL_ERROR "LAUNCHER_GAME_NAME must be a name Windows can give a folder (the installation folder and the Start-menu folder are named after the game); \"${LAUNCHER_GAME_NAME}\" is not: ${fault}.")
  endif()
  # One to four numbers of 0 to 65535, as Windows' version block and Installed apps take them.
  set(number "(0|[1-9][0-9]?[0-9]?[0-9]?|[1-5][0-9][0-9][0-9][0-9]|6[0-4][0-9][0-9][0-9]|65[0-4][0-9][0-9]|655[0-2][0-9]|6553[0-5])")
  if(NOT LAUNCHER_GAME_VERSION MATCHES "^${number}(\\.${number})?(\\.${number})?(\\.${number})?$")
    message(FATAL_ERROR "LAUNCHER_GAME_VERSION must be one to four numbers of 0 to 65535, without leading zeros, separated by dots (1.0, 2.0.1.7), which Windows' version block and the installer's comparison of versions take; \"${LAUNCHER_GAME_VERSION}\" is not.")
  endif()
  foreach(option LAUNCHER_PUBLISHER)
    launcher_has_control_character("${${option}}" control)
    if(control)
      message(FATAL_ERROR "${option} must be text of one line; it holds a control character.")
    endif()
  endforeach()
  set(publisher "${LAUNCHER_PUBLISHER}")
  if(publisher STREQUAL "")
    string(REGEX REPLACE "^[Hh][Tt][Tt][Pp][Ss]://([^/?#@]*@)?([^/?#:]+).*$" "\\2" publisher
           "${LAUNCHER_LANDING_URL}")
  endif()
  set(installer "${LAUNCHER_INSTALLER_NAME}")
  if(installer STREQUAL "")
    set(installer "${LAUNCHER_OUTPUT_NAME}-setup")
  endif()
  launcher_windows_name_fault("${installer}" fault)
  string(TOLOWER "${installer}" lower)
  string(TOLOWER "${LAUNCHER_OUTPUT_NAME}" launcher_lower)
  if(NOT fault STREQUAL "")
    message(FATAL_ERROR "LAUNCHER_INSTALLER_NAME must be a Windows file name without .exe; \"${installer}\" is not: ${fault}.")
  elseif(lower STREQUAL launcher_lower OR lower STREQUAL "launcher-report")
    message(FATAL_ERROR "LAUNCHER_INSTALLER_NAME \"${installer}\" is the name of a program the installer holds (${LAUNCHER_OUTPUT_NAME}.exe, launcher-report.exe): the build would write both to one file.")
  endif()

  set(game "${LAUNCHER_GAME_FILES}")
  set(files "")
  set(dirs "")
  if(NOT game STREQUAL "")
    if(NOT IS_DIRECTORY "${game}")
      message(FATAL_ERROR "LAUNCHER_GAME_FILES must name the game folder that the installer installs; \"${game}\" is not a folder.")
    endif()
    launcher_list_game_files("${game}" "LAUNCHER_GAME_FILES (${game})" "${LAUNCHER_OUTPUT_NAME}.exe"
                             files dirs)
  endif()
  set(target "${LAUNCHER_GAME_SHORTCUT_TARGET}")
  if(NOT target STREQUAL "")
    launcher_check_follow_up(LAUNCHER_GAME_SHORTCUT_TARGET "${target}")
    string(TOLOWER "${files}" game_files)
    string(TOLOWER "${files};${dirs}" entries)
    string(TOLOWER "${target}" target_lower)
    string(TOLOWER "${LAUNCHER_GAME_SHORTCUT}" shortcut_lower)
    list(FIND game_files "${target_lower}" target_at)
    list(FIND entries "${shortcut_lower}" shortcut_at)
    if(game STREQUAL "" OR target_at EQUAL -1)
      message(FATAL_ERROR "LAUNCHER_GAME_SHORTCUT_TARGET \"${target}\" must be a file in the game folder (LAUNCHER_GAME_FILES \"${game}\"); it is not one.")
    elseif(NOT shortcut_at EQUAL -1)
      message(FATAL_ERROR "LAUNCHER_GAME_SHORTCUT_TARGET: the installer makes ${LAUNCHER_GAME_SHORTCUT} (LAUNCHER_GAME_SHORTCUT) itself, leading to ${target}, but the game folder (${game}) holds one too: take it out of the folder.")
    endif()
  endif()
  set(LAUNCHER_PUBLISHER_NAME "${publisher}" PARENT_SCOPE)
  set(LAUNCHER_INSTALLER_FILE_NAME "${installer}" PARENT_SCOPE)
endfunction()
launcher_check_installer_options()

# The address and the follow-up names become UTF-16 literals: backslashes are the only characters
# left that C++ would read differently. Test builds always take the defaults.
foreach(name LANDING_URL GAME_SHORTCUT GAME_URL_SHORTCUT COMPANION)
  if(LAUNCHER_PUBLISHER_BUILD)
    set(value "${LAUNCHER_${name}}")
  else()
    set(value "${LAUNCHER_DEFAULT_${name}}")
  endif()
  string(REPLACE "\\" "\\\\" LAUNCHER_${name}_LITERAL "${value}")
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/launcher/build_options.cpp.in
               ${CMAKE_BINARY_DIR}/generated/build_options.cpp @ONLY)

# The images every launcher icon is expected to carry, as the default icon does: 4 and 8 bits for
# the oldest systems, 32 bits with alpha, and 256 pixels (a PNG) for Vista and later.
set(LAUNCHER_STANDARD_ICON_IMAGES
    32x32@4 24x24@4 16x16@4 48x48@8 32x32@8 24x24@8 16x16@8
    256x256@32 128x128@32 64x64@32 48x48@32 32x32@32 24x24@32 16x16@32)

# Checks LAUNCHER_ICON and sets LAUNCHER_ICON_RC, its path as the resource script writes it. The
# default icon must carry exactly the standard images; a publisher's own may differ, with a warning.
function(launcher_check_icon)
  launcher_read_icon_images("${LAUNCHER_ICON}" images)
  if(LAUNCHER_ICON MATCHES "\"")
    message(FATAL_ERROR "LAUNCHER_ICON: the resource compiler cannot take a path with a double quote: \"${LAUNCHER_ICON}\".")
  endif()
  set(missing ${LAUNCHER_STANDARD_ICON_IMAGES})
  set(extra ${images})
  list(REMOVE_ITEM missing ${images})
  list(REMOVE_ITEM extra ${LAUNCHER_STANDARD_ICON_IMAGES})
  list(LENGTH images count)
  if(missing OR extra OR NOT count EQUAL 14)
    foreach(list_name missing extra)
      string(REPLACE ";" " " ${list_name} "${${list_name}}")
      if(${list_name} STREQUAL "")
        set(${list_name} none)
      endif()
    endforeach()
    set(differences "${LAUNCHER_ICON} has ${count} images; missing: ${missing}; not in the standard set: ${extra} (images are WIDTHxHEIGHT@BITS)")
    get_filename_component(given "${LAUNCHER_ICON}" REALPATH)
    get_filename_component(default "${LAUNCHER_DEFAULT_ICON}" REALPATH)
    if(given STREQUAL default)
      message(FATAL_ERROR "The default icon must carry the 14 standard images: ${differences}")
    endif()
    message(WARNING "LAUNCHER_ICON differs from the 14 standard images: ${differences}")
  endif()
  string(REPLACE "\\" "/" rc_path "${LAUNCHER_ICON}")
  set(LAUNCHER_ICON_RC "${rc_path}" PARENT_SCOPE)
endfunction()
