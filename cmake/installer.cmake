# Windows build, after kestrel.exe and the e2e programs are defined (included at the end of windows.cmake):
#  - the installer kestrel-setup-<version>.exe, made by NSIS from installer/kestrel.nsi (only when makensis is
#    found: Debian's package nsis, or NSIS on Windows);
#  - the same as a Windows Installer package, kestrel-<version>.msi, made by wixl from installer/kestrel.wxs (only
#    when wixl is found: Debian's package wixl);
#  - both signed, and the uninstaller inside the installer too, when the build signs (cmake/signing.cmake);
#  - a copy of the administrative template policy/kestrel.admx in policy/, where the e2e programs read it;
#  - bench_wine.exe, the measuring program of scripts/bench.sh. It lives in bench/wine/, not tests/e2e/,
#    because it is no test: the e2e harness runs every program built from tests/e2e. It shares the e2e
#    programs' helpers for driving kestrel.exe (tests/common/win32/drive.h).

find_program(KESTREL_MAKENSIS makensis HINTS "$ENV{ProgramFiles}/NSIS" "C:/Program Files (x86)/NSIS")
if(KESTREL_MAKENSIS)
    set(KESTREL_SETUP_EXE ${CMAKE_BINARY_DIR}/kestrel-setup-${PROJECT_VERSION}.exe)
    # makensis runs the signing command itself, on the uninstaller before it packs it and on the installer at the
    # end. It hands the command line to the shell: a path with a blank in it is quoted.
    set(nsis_sign)
    if(KESTREL_SIGN_COMMAND)
        set(words)
        foreach(word ${KESTREL_SIGN_COMMAND})
            if(word MATCHES " ")
                set(word "\"${word}\"")
            endif()
            list(APPEND words "${word}")
        endforeach()
        list(JOIN words " " nsis_sign)
        set(nsis_sign "-DSIGN=${nsis_sign}")
    endif()
    # makensis works from the script's folder: the script finds the icon relative to it.
    add_custom_command(
        OUTPUT ${KESTREL_SETUP_EXE}
        COMMAND ${KESTREL_MAKENSIS} -V2 -WX -DVERSION=${PROJECT_VERSION} -DEXE=$<TARGET_FILE:kestrel>
                -DGUARD=$<TARGET_FILE:kestrel-guard>
                -DOUTFILE=${KESTREL_SETUP_EXE} ${nsis_sign} ${CMAKE_SOURCE_DIR}/installer/kestrel.nsi
        DEPENDS kestrel kestrel-guard ${CMAKE_SOURCE_DIR}/installer/kestrel.nsi ${CMAKE_SOURCE_DIR}/res/kestrel.ico
                ${KESTREL_GUIDE_FILES} ${KESTREL_SIGN_INPUTS}
        COMMENT "Packing kestrel-setup-${PROJECT_VERSION}.exe"
        VERBATIM)
    add_custom_target(installer ALL DEPENDS ${KESTREL_SETUP_EXE})
    # The installer's e2e test counts as built only with an installer of the current kestrel.exe beside it.
    if(TARGET e2e_installer)
        add_dependencies(e2e_installer installer)
    endif()
else()
    message(STATUS "makensis not found: no installer (install NSIS, Debian package nsis)")
endif()

find_program(KESTREL_WIXL wixl)
find_program(KESTREL_WIXL_HEAT wixl-heat)
find_program(KESTREL_MSIBUILD msibuild)
if(KESTREL_WIXL AND KESTREL_WIXL_HEAT AND KESTREL_MSIBUILD)
    set(KESTREL_MSI ${CMAKE_BINARY_DIR}/kestrel-${PROJECT_VERSION}.msi)
    # wixl finds the files it packs only relative to its working folder, the folder of kestrel.exe, where the
    # build has put the guide too.
    file(RELATIVE_PATH KESTREL_MSI_ICON ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}/res/kestrel.ico)
    # The guide's pictures are listed from the folder, so that a new picture needs no change to kestrel.wxs.
    set(KESTREL_MSI_PICTURES ${CMAKE_BINARY_DIR}/guide-pictures.wxs)
    add_custom_command(
        OUTPUT ${KESTREL_MSI_PICTURES}
        COMMAND sh -c "ls kestrel-guide/*.png | LC_ALL=C sort | '${KESTREL_WIXL_HEAT}' --directory-ref INSTALLDIR \
                       --component-group GuidePictures --var var.GuideDir --win64 -p '' > guide-pictures.wxs"
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
        DEPENDS ${KESTREL_GUIDE_COPIES}
        VERBATIM)
    set(msi_sign)
    if(KESTREL_SIGN_COMMAND)
        set(msi_sign COMMAND ${KESTREL_SIGN_COMMAND} ${KESTREL_MSI})
    endif()
    add_custom_command(
        OUTPUT ${KESTREL_MSI}
        COMMAND ${KESTREL_WIXL} -a x64 -D Version=${PROJECT_VERSION} -D Exe=$<TARGET_FILE_NAME:kestrel>
                -D Guard=$<TARGET_FILE_NAME:kestrel-guard>
                -D Icon=${KESTREL_MSI_ICON} -D GuideDir=. -D Win64=yes -o ${KESTREL_MSI}
                ${CMAKE_SOURCE_DIR}/installer/kestrel.wxs ${KESTREL_MSI_PICTURES}
        # wixl writes no component conditions: the two ways Kestrel starts get theirs here, before signing. The
        # removal (REMOVE set) takes whichever is installed: NOGUARD is not given to it again.
        COMMAND ${KESTREL_MSIBUILD} ${KESTREL_MSI} -q
                "UPDATE `Component` SET `Condition` = 'NOGUARD OR REMOVE' WHERE `Component` = 'RunEntry'"
        COMMAND ${KESTREL_MSIBUILD} ${KESTREL_MSI} -q
                "UPDATE `Component` SET `Condition` = 'NOT NOGUARD OR REMOVE' WHERE `Component` = 'Guard'"
        ${msi_sign}
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
        DEPENDS kestrel kestrel-guard ${CMAKE_SOURCE_DIR}/installer/kestrel.wxs ${CMAKE_SOURCE_DIR}/res/kestrel.ico
                ${KESTREL_MSI_PICTURES} ${KESTREL_GUIDE_COPIES} ${KESTREL_SIGN_INPUTS}
        COMMENT "Packing kestrel-${PROJECT_VERSION}.msi"
        VERBATIM)
    add_custom_target(msi ALL DEPENDS ${KESTREL_MSI})
    if(TARGET e2e_msi)
        add_dependencies(e2e_msi msi)
    endif()
else()
    message(STATUS "wixl, wixl-heat or msibuild not found: no MSI package (Debian packages wixl, msitools)")
endif()

# A copy that follows every change of the original (configure_file re-runs when it changes).
configure_file(${CMAKE_SOURCE_DIR}/policy/kestrel.admx ${CMAKE_BINARY_DIR}/policy/kestrel.admx COPYONLY)

if(EXISTS ${CMAKE_SOURCE_DIR}/bench/wine/bench_wine.cpp)
    add_executable(bench_wine ${CMAKE_SOURCE_DIR}/bench/wine/bench_wine.cpp)
    target_link_libraries(bench_wine PRIVATE kestrel_win32_platform user32 psapi)
    target_include_directories(bench_wine PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    # The least a watcher can do, measured beside kestrel.exe's idle figure.
    add_executable(bench_minimal ${CMAKE_SOURCE_DIR}/bench/wine/bench_minimal.cpp)
    target_link_libraries(bench_minimal PRIVATE user32)
    add_dependencies(bench_wine bench_minimal kestrel-guard)
endif()
