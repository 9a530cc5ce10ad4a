# Authenticode signatures of what the windows build makes (included by windows.cmake).
#
# Windows 11's Smart App Control blocks unsigned programs, and SmartScreen warns about an unsigned installer, so a
# release is signed with the publisher's certificate. The environment names it when the build folder is configured:
#
#   KESTREL_SIGN_PFX        the certificate with its private key, a PKCS#12 file (.pfx, .p12)
#   KESTREL_SIGN_PASSWORD   its password (may be empty)
#   KESTREL_SIGN_TIMESTAMP  optional: an RFC 3161 time-stamp server's URL, so that the signatures stay valid
#                           after the certificate expires
#
# osslsigncode signs with SHA-256 and puts the product name and the vendor's web address into each signature.
# Without KESTREL_SIGN_PFX the build makes everything unsigned, as before, and says so once.
#
# A build folder keeps signing with what it was configured with (ninja re-runs the configure step without the
# variables when a CMake file changes): the certificate's path and the time-stamp URL are in the cache, and the
# password is in signing/password, a file in a folder that only its owner can open, because osslsigncode then reads
# it from there (-readpass) instead of from its command line, where `ps` would show it. Configuring with the
# variables set again replaces them; a fresh build folder without them builds unsigned.
#
# kestrel_sign(<target>) signs an executable target each time it is linked:
#
#   add_executable(kestrel-guard WIN32 ...)
#   kestrel_sign(kestrel-guard)
#
# The installers sign with KESTREL_SIGN_COMMAND (followed by the file's path) and depend on KESTREL_SIGN_INPUTS.

if(DEFINED ENV{KESTREL_SIGN_PFX} AND NOT "$ENV{KESTREL_SIGN_PFX}" STREQUAL "")
    get_filename_component(pfx "$ENV{KESTREL_SIGN_PFX}" ABSOLUTE)
    set(KESTREL_SIGN_PFX "${pfx}" CACHE FILEPATH "The PKCS#12 file the build signs with (empty: unsigned)" FORCE)
    set(KESTREL_SIGN_TIMESTAMP "$ENV{KESTREL_SIGN_TIMESTAMP}" CACHE STRING "RFC 3161 time-stamp URL" FORCE)
    set(password_dir ${CMAKE_BINARY_DIR}/signing)
    file(MAKE_DIRECTORY ${password_dir})
    file(CHMOD ${password_dir} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    # Rewritten only when it changed: the signed files depend on it, and each rewrite would sign them all again.
    set(old_password)
    if(EXISTS ${password_dir}/password)
        file(READ ${password_dir}/password old_password)
    endif()
    if(NOT EXISTS ${password_dir}/password OR NOT old_password STREQUAL "$ENV{KESTREL_SIGN_PASSWORD}")
        file(WRITE ${password_dir}/password "$ENV{KESTREL_SIGN_PASSWORD}")
    endif()
    file(CHMOD ${password_dir}/password PERMISSIONS OWNER_READ OWNER_WRITE)
    unset(old_password)
endif()

set(KESTREL_SIGN_COMMAND)
set(KESTREL_SIGN_INPUTS)
if(KESTREL_SIGN_PFX)
    if(NOT EXISTS "${KESTREL_SIGN_PFX}")
        message(FATAL_ERROR "KESTREL_SIGN_PFX names no file: ${KESTREL_SIGN_PFX}")
    endif()
    find_program(KESTREL_OSSLSIGNCODE osslsigncode)
    if(NOT KESTREL_OSSLSIGNCODE)
        message(FATAL_ERROR "signing needs osslsigncode (Debian package osslsigncode)")
    endif()
    set(KESTREL_SIGN_PASSWORD_FILE ${CMAKE_BINARY_DIR}/signing/password)
    if(NOT EXISTS ${KESTREL_SIGN_PASSWORD_FILE})
        message(FATAL_ERROR "no ${KESTREL_SIGN_PASSWORD_FILE}: configure this folder again with KESTREL_SIGN_PFX "
                            "and KESTREL_SIGN_PASSWORD set")
    endif()
    # The script that signs one file, with this folder's settings written into it.
    configure_file(${CMAKE_SOURCE_DIR}/cmake/sign.cmake.in ${CMAKE_BINARY_DIR}/signing/sign.cmake @ONLY)
    set(KESTREL_SIGN_COMMAND ${CMAKE_COMMAND} -P ${CMAKE_BINARY_DIR}/signing/sign.cmake)
    # A new certificate, password or setting signs everything again.
    set(KESTREL_SIGN_INPUTS ${KESTREL_SIGN_PFX} ${KESTREL_SIGN_PASSWORD_FILE} ${CMAKE_BINARY_DIR}/signing/sign.cmake)
    message(STATUS "Signing as \"${KESTREL_PRODUCT_NAME}\" with ${KESTREL_SIGN_PFX}")
else()
    message(STATUS "Unsigned build: kestrel.exe and the installers get no signature "
                   "(set KESTREL_SIGN_PFX and KESTREL_SIGN_PASSWORD to sign; README, Releasing)")
endif()

# Signs the target's file right after each link, in place, so that nothing downstream (the installers, the tests)
# ever sees it unsigned. Does nothing in an unsigned build.
function(kestrel_sign target)
    if(NOT KESTREL_SIGN_COMMAND)
        return()
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${KESTREL_SIGN_COMMAND} $<TARGET_FILE:${target}>
        VERBATIM)
    # The link, and with it the signing, runs again when the certificate or the settings change.
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${KESTREL_SIGN_INPUTS})
endfunction()
