# The desktop entry and the AppStream metadata must pass the freedesktop validators.
if(KAPPWERK_UNDER_WINE)
  kappwerk_skip_under_wine(desktop_entry_valid "the freedesktop entry is not part of the Windows package")
  kappwerk_skip_under_wine(metainfo_valid "the AppStream metadata is not part of the Windows package")
  return()
endif()
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate REQUIRED)
find_program(APPSTREAMCLI appstreamcli REQUIRED)
add_test(NAME desktop_entry_valid
         COMMAND ${DESKTOP_FILE_VALIDATE} ${PROJECT_SOURCE_DIR}/resources/de.kappwerk.Kappwerk.desktop)
add_test(NAME metainfo_valid
         COMMAND ${APPSTREAMCLI} validate --no-net --pedantic ${PROJECT_SOURCE_DIR}/resources/de.kappwerk.Kappwerk.metainfo.xml)
