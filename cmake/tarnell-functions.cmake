# The functions the launcher, the disc and the tests build with: a program
# linked without the C runtime, a brand's files, and a launcher of a brand.

# Links a program the way the launcher is linked: without the C runtime,
# with the launcher's own process entry (launcher/entry.cpp, which takes the
# runtime's place) and no default libraries. Used by the launcher and by
# the disc's sample setup.
function(tarnell_link_without_runtime target)
    # The entry leads the link, as it always has: the same sources give the
    # same bytes.
    get_target_property(sources ${target} SOURCES)
    set_property(TARGET ${target} PROPERTY SOURCES ${PROJECT_SOURCE_DIR}/launcher/entry.cpp ${sources})
    if(TARNELL_ARCH STREQUAL "i686")
        set(TARNELL_ENTRY _Entry@0)
        set(TARNELL_SUBSYSTEM windows:4.0)
    else()
        set(TARNELL_ENTRY Entry)
        set(TARNELL_SUBSYSTEM windows)
    endif()
    target_compile_options(${target} PRIVATE ${TARNELL_PRODUCT_FLAGS})
    # No link time in the header: the same sources give the same bytes,
    # and so the same disc image, on every machine.
    target_link_options(${target} PRIVATE
        -nostdlib -nostartfiles -Wl,-e,${TARNELL_ENTRY}
        -Wl,--subsystem,${TARNELL_SUBSYSTEM} -Wl,--gc-sections -Wl,--no-insert-timestamp -s)
    set_target_properties(${target} PROPERTIES CXX_STANDARD_LIBRARIES "")
    target_link_libraries(${target} PRIVATE kernel32 user32 gdi32 gcc)
endfunction()

# Checks a brand and makes its files in build/<preset>/brand/<name>. The
# texts come from the variables <prefix>_PRODUCT, _VERSION, _COMPANY and
# _COPYRIGHT, the languages from <prefix>_LANGUAGES and _LANGUAGE_FILES,
# the systems it accepts from <prefix>_SYSTEMS (empty: what the library
# identifies), the pictures from <prefix>_SPLASH and _ICON (an empty
# _SPLASH: the product's own splash, see tarnell_brand_splash). The texts
# are checked when CMake configures, so a refused text stops the configure
# step; brand.h and AUTORUN.INF are written only when all pass. The
# pictures are converted when the build runs, before the launcher's
# resources are compiled, so a refused picture stops the build before a
# launcher is linked. The target <name>_art makes the pictures and their
# previews.
# Messages name the settings as CMake variables; the disc command sets
# TARNELL_BRAND_NAMES to "options" to have them named as its options.
# The disc command makes the brand's files itself, checked once, and sets
# TARNELL_BRAND_MADE: the build's own brand is then taken as it is.
function(tarnell_brand name prefix)
    set(dir ${CMAKE_BINARY_DIR}/brand/${name})
    set(art ${PROJECT_SOURCE_DIR}/brand/art)
    if(TARNELL_BRAND_MADE AND prefix STREQUAL "TARNELL")
        tarnell_brand_made(${name} ${dir})
        return()
    endif()
    file(REMOVE ${dir}/refused.txt)
    if(TARNELL_BRAND_NAMES STREQUAL "options")
        set(names options)
        set(splash_setting --splash)
        set(icon_setting --icon)
    else()
        set(names cmake)
        set(splash_setting TARNELL_SPLASH)
        set(icon_setting TARNELL_ICON)
    endif()
    set(language_files)
    foreach(item IN LISTS ${prefix}_LANGUAGE_FILES)
        list(APPEND language_files "--language-file=${item}")
    endforeach()
    set(systems)
    if(NOT "${${prefix}_SYSTEMS}" STREQUAL "")
        set(systems "--systems=${${prefix}_SYSTEMS}")
    endif()
    execute_process(
        COMMAND ${TARNELL_SYSTEM_PYTHON3} ${PROJECT_SOURCE_DIR}/brand/make_brand.py
                "--product=${${prefix}_PRODUCT}" "--version=${${prefix}_VERSION}"
                "--company=${${prefix}_COMPANY}" "--copyright=${${prefix}_COPYRIGHT}"
                "--languages=${${prefix}_LANGUAGES}" ${language_files} ${systems}
                --names ${names} --output ${dir}
        RESULT_VARIABLE result ERROR_VARIABLE error)
    # The refusal is also kept whole in a file: CMake wraps long messages,
    # and the disc command shows it as the one line it is.
    if(result)
        file(WRITE ${dir}/refused.txt "${error}")
        message(FATAL_ERROR "${error}")
    endif()
    tarnell_brand_languages(${name} ${dir} ${prefix})
    # A brand with a list of systems: make_brand.py wrote its accepted.h.
    if(EXISTS ${dir}/accepted.h)
        set_property(GLOBAL PROPERTY tarnell_brand_${name}_systems ON)
    else()
        set_property(GLOBAL PROPERTY tarnell_brand_${name}_systems OFF)
    endif()
    tarnell_brand_splash(${prefix})
    set(icon_path "${${prefix}_ICON}")
    foreach(picture splash icon)
        if(picture STREQUAL "splash" AND splash_drawn)
            continue()
        endif()
        if(NOT EXISTS "${${picture}_path}")
            set(error "${${picture}_setting}: refused: the picture does not exist: '${${picture}_path}'\n")
            file(WRITE ${dir}/refused.txt "${error}")
            message(FATAL_ERROR "${error}")
        endif()
    endforeach()
    # What the brand tools read besides their own scripts: the shared host
    # module, the launcher's layout and the modules it is read through.
    set(shared ${PROJECT_SOURCE_DIR}/hostlib/__init__.py ${PROJECT_SOURCE_DIR}/launcher/contract.toml
        ${PROJECT_SOURCE_DIR}/launcher/contract.py ${PROJECT_SOURCE_DIR}/brand/layout.py
        ${art}/artformat.py ${art}/picture.py)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 ${PROJECT_SOURCE_DIR}/brand/make_brand.py ${PROJECT_SOURCE_DIR}/brand/codepage.py
                 ${PROJECT_SOURCE_DIR}/brand/systems.py ${shared})

    set(previews ${dir}/previews)
    get_property(codes GLOBAL PROPERTY tarnell_brand_${name}_languages)
    set(language_previews ${codes})
    list(TRANSFORM language_previews REPLACE "(.+)" "${previews}/splash-\\1.png")
    set(buttons)
    set(buttons_file)
    if(NOT "${codes}" STREQUAL "")
        set(buttons_file ${dir}/buttons.txt)
        set(buttons --buttons ${buttons_file})
    endif()
    # The splash drawn for the product's word and version, or the picture
    # converted.
    if(splash_drawn)
        # Kept whole in the list: a product word may hold a semicolon.
        string(REPLACE ";" "\\;" product "${${prefix}_PRODUCT}")
        string(REPLACE ";" "\\;" version "${${prefix}_VERSION}")
        set(source --draw "--product=${product}" "--version=${version}")
        set(source_files ${art}/design.py ${PROJECT_SOURCE_DIR}/brand/codepage.py
            ${PROJECT_SOURCE_DIR}/brand/kelmora/brand.txt ${PROJECT_SOURCE_DIR}/brand/kelmora/tarnell.bmp)
    else()
        set(source ${splash_path})
        set(source_files ${splash_path})
    endif()
    add_custom_command(
        OUTPUT ${dir}/splash.bmp ${previews}/splash.png ${previews}/splash-after-colour-change.png
               ${language_previews}
        COMMAND ${TARNELL_SYSTEM_PYTHON3} ${art}/make_splash.py "--setting=${splash_setting}"
                --previews ${previews} ${buttons}
                ${source} ${dir}/splash.bmp
        DEPENDS ${source_files} ${art}/make_splash.py ${shared} ${buttons_file}
        COMMENT "Splash of the ${name} brand" VERBATIM)
    add_custom_command(
        OUTPUT ${dir}/icon.ico ${previews}/icon.png
        COMMAND ${TARNELL_SYSTEM_PYTHON3} ${art}/make_icon.py "--setting=${icon_setting}"
                --preview ${previews}/icon.png
                ${${prefix}_ICON} ${dir}/icon.ico
        DEPENDS ${${prefix}_ICON} ${art}/make_icon.py ${shared}
        COMMENT "Icon of the ${name} brand" VERBATIM)
    add_custom_target(${name}_art DEPENDS ${dir}/splash.bmp ${dir}/icon.ico
        ${previews}/splash.png ${previews}/splash-after-colour-change.png ${previews}/icon.png
        ${language_previews})

    # The resource script of this brand: the launcher's own, compiled with
    # this brand's header and pictures.
    file(CONFIGURE OUTPUT ${dir}/brand.rc
         CONTENT "#include \"${PROJECT_SOURCE_DIR}/launcher/tarnell.rc\"\n")
endfunction()

# A brand whose files the disc command made (brand.h, splash.bmp, icon.ico,
# and where the brand has them languages.rc and languages.h, accepted.h):
# the launcher is built from them as they are.
function(tarnell_brand_made name dir)
    foreach(file brand.h splash.bmp icon.ico)
        if(NOT EXISTS ${dir}/${file})
            message(FATAL_ERROR "TARNELL_BRAND_MADE: the brand's folder lacks ${file}: ${dir}")
        endif()
    endforeach()
    if(EXISTS ${dir}/languages.h)
        set_property(GLOBAL PROPERTY tarnell_brand_${name}_languages made)
    else()
        set_property(GLOBAL PROPERTY tarnell_brand_${name}_languages "")
    endif()
    if(EXISTS ${dir}/accepted.h)
        set_property(GLOBAL PROPERTY tarnell_brand_${name}_systems ON)
    else()
        set_property(GLOBAL PROPERTY tarnell_brand_${name}_systems OFF)
    endif()
    add_custom_target(${name}_art)
    file(CONFIGURE OUTPUT ${dir}/brand.rc
         CONTENT "#include \"${PROJECT_SOURCE_DIR}/launcher/tarnell.rc\"\n")
endfunction()

# The splash a brand's build takes, in the caller's splash_path and
# splash_drawn: the picture <prefix>_SPLASH names or, where it is empty,
# the product's own, which make_splash.py draws in KELMORA's design for the
# word and version (KELMORA's committed picture for its own: the rule is
# make_splash.py's; the splash is made again when the word or version
# changes, since its command changes: CMake's rule hashes).
function(tarnell_brand_splash prefix)
    set(splash_path "${${prefix}_SPLASH}" PARENT_SCOPE)
    if("${${prefix}_SPLASH}" STREQUAL "")
        set(splash_drawn ON PARENT_SCOPE)
    else()
        set(splash_drawn OFF PARENT_SCOPE)
    endif()
endfunction()

# The languages of a brand that make_brand.py has checked: their codes (in
# the global property tarnell_brand_<name>_languages), read from the
# buttons.txt it writes, and a new configure step when their texts change.
function(tarnell_brand_languages name dir prefix)
    set(codes)
    if(EXISTS ${dir}/buttons.txt)
        file(STRINGS ${dir}/buttons.txt lines ENCODING UTF-8)
        foreach(line IN LISTS lines)
            string(REGEX MATCH "^[a-z]+" code "${line}")
            list(APPEND codes ${code})
        endforeach()
    endif()
    set_property(GLOBAL PROPERTY tarnell_brand_${name}_languages ${codes})
    file(GLOB shipped ${PROJECT_SOURCE_DIR}/brand/languages/*.txt)
    set(own)
    foreach(item IN LISTS ${prefix}_LANGUAGE_FILES)
        string(REGEX REPLACE "^[^=]*=" "" path "${item}")
        list(APPEND own ${path})
    endforeach()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 ${PROJECT_SOURCE_DIR}/brand/languages.py ${shipped} ${own})
endfunction()

# One launcher build, of a brand made by tarnell_brand; NO_SPLASH leaves
# the picture out of its resources.
function(tarnell_launcher target output)
    cmake_parse_arguments(ARG "NO_SPLASH" "BRAND" "" ${ARGN})
    set(dir ${CMAKE_BINARY_DIR}/brand/${ARG_BRAND})
    add_executable(${target} WIN32
        ${PROJECT_SOURCE_DIR}/launcher/main.cpp
        ${PROJECT_SOURCE_DIR}/launcher/splash.cpp
        ${dir}/brand.rc)
    # The resources are compiled again when the brand's files change.
    set_source_files_properties(${dir}/brand.rc PROPERTIES
        OBJECT_DEPENDS "${dir}/brand.h;${dir}/splash.bmp;${dir}/icon.ico")
    # A brand with languages carries their string tables and the code that
    # chooses among them; one without is built as if they did not exist.
    # (A list of the one code "no" is false to a bare if().)
    get_property(codes GLOBAL PROPERTY tarnell_brand_${ARG_BRAND}_languages)
    if(NOT "${codes}" STREQUAL "")
        target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/launcher/texts.cpp)
        target_compile_definitions(${target} PRIVATE TARNELL_LANGUAGES)
        set_property(SOURCE ${dir}/brand.rc APPEND PROPERTY OBJECT_DEPENDS
                     ${dir}/languages.rc ${dir}/languages.h)
    endif()
    # So does a brand with a list of systems: the code that asks which
    # system runs, and in the resources the list and the manifest.
    get_property(systems GLOBAL PROPERTY tarnell_brand_${ARG_BRAND}_systems)
    if(systems)
        target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/launcher/systems.cpp)
        target_compile_definitions(${target} PRIVATE TARNELL_SYSTEMS)
        set_property(SOURCE ${dir}/brand.rc APPEND PROPERTY OBJECT_DEPENDS
                     ${dir}/accepted.h ${PROJECT_SOURCE_DIR}/launcher/tarnell.manifest)
    endif()
    add_dependencies(${target} ${ARG_BRAND}_art)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/launcher ${dir})
    target_link_libraries(${target} PRIVATE launcher_contract)
    if(ARG_NO_SPLASH)
        target_compile_definitions(${target} PRIVATE TARNELL_NO_SPLASH)
    endif()
    target_link_libraries(${target} PRIVATE util)
    tarnell_link_without_runtime(${target})
endfunction()
