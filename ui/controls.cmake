# controls layer sources: target_sources(zorbex_ui PRIVATE ...)
