# The last step of `cmake --install` of a release build (cmake/shipping.cmake), once the programs
# are in place: each signed program verified again, the licence and the third-party notices, with
# Windows' line ends so that any Notepad shows their lines, and SHA256SUMS over the programs and
# both texts, one "HASH  NAME" line each, as `sha256sum -c SHA256SUMS` reads it in that folder.
set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
foreach(text LICENSE THIRD-PARTY-NOTICES.txt)
  file(READ "${LAUNCHER_SOURCE_DIR}/${text}" content)
  string(REPLACE "\r\n" "\n" content "${content}")
  string(REPLACE "\n" "\r\n" content "${content}")
  message(STATUS "Installing: ${folder}/${text}")
  file(WRITE "${folder}/${text}" "${content}")
endforeach()
# A signed program must still verify as installed, by the configured certificate, or the folder
# would ship a broken or foreign signature under a checksum that vouches for it. When one does not,
# the programs just installed (the installer among them) are taken away again, and no SHA256SUMS is
# written (the one an earlier install left went before anything was copied).
if(NOT LAUNCHER_SIGNING_PARAMETERS STREQUAL "")
  include("${LAUNCHER_SIGNING_PARAMETERS}")
  foreach(program IN LISTS LAUNCHER_PROGRAMS)
    execute_process(COMMAND "${OSSLSIGNCODE}" verify ${VERIFY_OPTIONS} -in "${folder}/${program}"
                            -CAfile "${TRUSTED}"
                    RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(failed)
      foreach(installed IN LISTS LAUNCHER_PROGRAMS)
        file(REMOVE "${folder}/${installed}")
      endforeach()
      message(FATAL_ERROR "${folder}/${program}: its signature does not verify as made by the "
                          "configured certificate (SHA-256 ${SIGNER_SHA256}). The programs are "
                          "taken out of ${folder} again and no SHA256SUMS is written: build again "
                          "(the build signs what has changed) and install again.\n${output}")
    endif()
    message(STATUS "Verified: ${folder}/${program}")
  endforeach()
endif()
set(sums "")
foreach(file IN LISTS LAUNCHER_PROGRAMS ITEMS LICENSE THIRD-PARTY-NOTICES.txt)
  file(SHA256 "${folder}/${file}" hash)
  string(APPEND sums "${hash}  ${file}\n")
endforeach()
message(STATUS "Installing: ${folder}/SHA256SUMS")
file(WRITE "${folder}/SHA256SUMS" "${sums}")
