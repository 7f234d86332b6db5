# shellcheck shell=bash
# Sourced by the scripts that run tests: ctest through a test preset of CMakePresets.json.
#   preset_ctest ROOT PRESET PRESET_FOLDER FOLDER [CTEST ARGUMENTS ...]
# A test preset runs the tests of its configure preset's folder whatever --test-dir says, so
# a build in another folder (the scripts' folder variables) runs plain ctest there, with
# the presets' --output-on-failure; the script sets any environment the preset would.
preset_ctest() {
    local root=$1 preset=$2 own=$3 folder=$4
    shift 4
    if [ "$(realpath -m "$folder")" = "$(realpath -m "$own")" ]; then
        (cd "$root" && ctest --preset "$preset" "$@")
    else
        ctest --test-dir "$folder" --output-on-failure "$@"
    fi
}
