# Every library's sources, listed once: the program, the tests, the tools,
# the fuzz targets and the web build take their files from here.
set(S ${CMAKE_SOURCE_DIR}/src)

# The pack reader and the table of the show's items (the tools use them too).
set(VORN_PACK_SOURCES ${S}/data/pack.cpp ${S}/data/items.cpp ${S}/data/files.cpp)

# The 3D engine's model reader and its math, on their own for the model fuzzers.
set(VORN_MODEL_SOURCES ${S}/engine3d/model.cpp ${S}/engine3d/scene.cpp ${S}/engine3d/math.cpp)

# The drawing: the processor's features, surfaces and the scaler, the assets,
# the effects and the 3D engine, free of any platform library. Each unit with
# vector kernels has its twin *_simd.cpp beside it; kernels.cpp chooses them.
set(VORN_ENGINE_SOURCES
    ${S}/core/cpu.cpp
    ${S}/data/assets.cpp ${S}/data/render_resources.cpp ${S}/data/scaler.cpp
    ${S}/data/surface.cpp ${S}/data/surface_simd.cpp
    ${S}/effects/effect_tables.cpp ${S}/effects/effect_tables_simd.cpp
    ${S}/effects/fillers.cpp ${S}/effects/fillers_simd.cpp ${S}/effects/fog.cpp
    ${S}/effects/fog_simd.cpp ${S}/effects/lines.cpp ${S}/effects/pictures.cpp
    ${S}/effects/pictures_simd.cpp ${S}/effects/tunnel.cpp ${S}/effects/tunnel_simd.cpp
    ${S}/engine3d/culling.cpp ${S}/engine3d/culling_simd.cpp ${S}/engine3d/kernels.cpp
    ${S}/engine3d/lighting.cpp ${S}/engine3d/lighting_simd.cpp ${S}/engine3d/mapping.cpp
    ${S}/engine3d/math_simd.cpp ${S}/engine3d/morph.cpp ${S}/engine3d/render.cpp
    ${S}/engine3d/render_simd.cpp ${S}/engine3d/scenes.cpp
    ${VORN_MODEL_SOURCES})

# The show's script, and the show itself over the platform interfaces: its
# start, frame, seeking, the live loop and lockstep runs, the settings and the
# module player (libopenmpt, shared by every platform).
set(VORN_DIRECTOR_SOURCES ${S}/director/kernels.cpp ${S}/director/show_parts.cpp
    ${S}/director/timeline.cpp ${S}/director/timeline_effects.cpp
    ${S}/director/timeline_effects_simd.cpp)
set(VORN_SOUND_SOURCES ${S}/platform/module_data.cpp ${S}/platform/module_player.cpp
    ${S}/platform/module_seek.cpp ${S}/platform/sound_tables.cpp)
# The show (its start, frame, song and display), then its rooms: the live loop,
# seeking, the lockstep outputs and the program's services.
set(VORN_SHOW_SOURCES
    ${S}/data/builtin.cpp
    ${S}/presentation/display.cpp ${S}/presentation/show.cpp ${S}/presentation/show_frame.cpp
    ${S}/presentation/show_song.cpp
    ${S}/presentation/live/demo_run.cpp ${S}/presentation/live/fps_text.cpp
    ${S}/presentation/live/watch.cpp
    ${S}/presentation/seeking/cache_file.cpp ${S}/presentation/seeking/catch_up.cpp
    ${S}/presentation/seeking/keep_ahead.cpp ${S}/presentation/seeking/kept_check.cpp
    ${S}/presentation/seeking/kept_states.cpp
    ${S}/presentation/seeking/show_state.cpp
    ${S}/presentation/outputs/benchmark.cpp ${S}/presentation/outputs/lockstep.cpp
    ${S}/presentation/outputs/show_digests.cpp
    ${S}/presentation/services/command_line.cpp ${S}/presentation/services/settings.cpp
    ${S}/presentation/services/stop_signal.cpp)
# Lockstep capture to files, native only (ffmpeg, libpng).
set(VORN_CAPTURE_SOURCES ${S}/presentation/outputs/capture.cpp
    ${S}/presentation/outputs/png_writer.cpp)

# The platforms: SDL2 on the desktop, none at all for lockstep runs and tests.
set(VORN_SDL_SOURCES ${S}/platform/messages.cpp ${S}/platform/file_watch.cpp
    ${S}/platform/process.cpp ${S}/platform/sdl/sdl_input.cpp ${S}/platform/sdl/sdl_sound_device.cpp
    ${S}/platform/sdl/sdl_video.cpp)
set(VORN_NULL_SOURCES ${S}/platform/messages.cpp ${S}/platform/file_watch.cpp
    ${S}/platform/process.cpp ${S}/platform/null/null_platform.cpp)
# The web page: the canvas, the page's keys and its AudioWorklet, the built-in
# pack as the page downloads it, and the calls the page makes (with the
# built-in content embedded, not assembled in).
set(VORN_WEB_SOURCES ${S}/platform/messages.cpp ${S}/platform/web/web_platform.cpp
    ${S}/platform/web/web_pack.cpp ${S}/web_main.cpp)
set(VORN_WEB_SHOW_SOURCES ${VORN_SHOW_SOURCES})
list(REMOVE_ITEM VORN_WEB_SHOW_SOURCES ${S}/data/builtin.cpp)

# The configuration dialog (its logic, the GTK view) and the program's entry.
set(VORN_LAUNCHER_SOURCES ${S}/launcher/config_dialog.cpp ${S}/launcher/dialog_gtk.cpp
    ${S}/launcher/entry.cpp)
