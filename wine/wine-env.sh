# The Wine layer's environment for a shell script: the loaders (WINE64,
# WINE32, WINESERVER) and Wine's environment (WINEDEBUG, WINEDLLOVERRIDES)
# of wine.env, exported. Sourced with wine_layer set to this folder:
#   wine_layer=$root/wine; . "$wine_layer/wine-env.sh"
# With TARNELL_WINEPREFIX set, WINEPREFIX is that prefix.
set -a
. "$wine_layer/wine.env"
set +a
if [ -n "${TARNELL_WINEPREFIX:-}" ]; then
    export WINEPREFIX="$TARNELL_WINEPREFIX"
fi
