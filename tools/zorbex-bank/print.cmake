# print: questions of the bank as a PDF, as the windows' "Print..." lays them out.
target_sources(zorbex-bank PRIVATE print_commands.cpp)
target_link_libraries(zorbex-bank PRIVATE zorbex_print)
