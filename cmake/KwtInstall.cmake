# What `cmake --install` puts under the prefix of a native build: the program,
# its manual pages (English and Japanese), its bash completion and its
# documents. Tests and benchmarks are not installed. The Windows programs are
# packed by scripts/release instead, since a Windows user copies them by hand.
if(WIN32)
  # The Japanese first-read text of the Windows zip, naming this version.
  configure_file(${PROJECT_SOURCE_DIR}/packaging/readme-windows.ja.txt.in readme-windows.ja.txt @ONLY)
  return()
endif()
include(GNUInstallDirs)

install(TARGETS kwtconv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

configure_file(${PROJECT_SOURCE_DIR}/packaging/kwtconv.1.in man/kwtconv.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/kwtconv.ja.1.in man/ja/kwtconv.1 @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/man/kwtconv.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/man/ja/kwtconv.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/kwtconv.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kwtconv)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kwtconv)
