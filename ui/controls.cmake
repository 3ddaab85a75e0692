# The controls layer: controls with twips geometry and their event order, windows, message
# boxes and the file dialog, the program's bitmaps and what the program knows about itself.
target_sources(zorbex_ui PRIVATE
  controls/events.cpp
  controls/dialogs.cpp
  controls/app_services.cpp
  controls/form.cpp
  controls/controls.cpp)
target_compile_definitions(zorbex_ui PRIVATE
  ZORBEX_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  ZORBEX_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  ZORBEX_VERSION_PATCH=${PROJECT_VERSION_PATCH})
# The marker bitmaps 103 and 104, the images of the section window and the icon.
qt_add_resources(zorbex_ui zorbex_bitmaps
  PREFIX /zorbex
  BASE resources
  FILES resources/103.xpm resources/104.xpm resources/next.xpm resources/exit.xpm resources/app_icon.xpm)
# Until the rich-text reader and writer land beside the controls, their library is empty.
if(NOT TARGET zorbex_rtf)
  add_library(zorbex_rtf INTERFACE)
endif()
