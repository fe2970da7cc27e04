# Shared set-up of scripts/run and scripts/test: Debian packages, configure, build.
# Sourced, not run: it expects $root to be the project's top folder.

PACKAGES=(
  cmake g++ ninja-build pkg-config
  qt6-base-dev libjpeg62-turbo-dev
  qt6-translations-l10n  # Qt's own dialogs and standard buttons in Czech
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  zlib1g-dev libbrotli-dev  # PNG's compressed text chunks, JPEG XL's compressed boxes
  fonts-dejavu-core
  bash-completion  # the completion test loads the completion as bash does
)

ensure_packages() {
  local missing=() p
  for p in "${PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "Missing Debian packages. Install them with:" >&2
    echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
}

# build_tree DIR [cmake options...]: configure (once) and build a tree.
build_tree() {
  local dir=$1; shift
  cmake -S "$root" -B "$root/$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$root/$dir" -j "$(nproc)"
}
