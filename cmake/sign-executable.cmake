# Signs one executable in place, then verifies the signature; run after linking by cmake -P with
# the arguments that cmake/signing.cmake prepared:
#   EXE OSSLSIGNCODE PKCS12 PASSWORD_FILE TRUSTED DESCRIPTION SITE TIME TIMESTAMP_URL
# The executable is replaced only by a signed copy that verifies.
set(signed "${EXE}.signed")
file(REMOVE "${signed}")
if(TIMESTAMP_URL STREQUAL "")
  set(when -time ${TIME})
else()
  set(when -ts ${TIMESTAMP_URL})
endif()
execute_process(COMMAND "${OSSLSIGNCODE}" sign -pkcs12 "${PKCS12}" -readpass "${PASSWORD_FILE}" -h sha256
                        -n "${DESCRIPTION}" -i "${SITE}" ${when} -in "${EXE}" -out "${signed}"
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(failed)
  file(REMOVE "${signed}")
  message(FATAL_ERROR "Signing ${EXE} failed:\n${output}")
endif()
execute_process(COMMAND "${OSSLSIGNCODE}" verify -in "${signed}" -CAfile "${TRUSTED}"
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(failed)
  file(REMOVE "${signed}")
  message(FATAL_ERROR "The signature of ${EXE} does not verify against the certificate:\n${output}")
endif()
file(RENAME "${signed}" "${EXE}")
file(CHMOD "${EXE}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE)
