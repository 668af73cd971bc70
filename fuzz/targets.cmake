# The fuzz targets: each lives in fuzz/<name>/ with <name>_fuzzer.cpp, a seed
# corpus in corpus/, inputs that once broke it in crashes/, and <name>.dict.
# KWT_FUZZ_LIBS_<name> names the core libraries it links.
set(KWT_FUZZ_TARGETS project_store integer_text path_rules record_mappings folder_states)
set(KWT_FUZZ_LIBS_project_store kwt_store)
set(KWT_FUZZ_LIBS_integer_text kwt_store)
set(KWT_FUZZ_LIBS_path_rules kwt_names)
set(KWT_FUZZ_LIBS_record_mappings kwt_convert)
set(KWT_FUZZ_LIBS_folder_states kwt_convert)
