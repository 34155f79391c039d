# Sourced by scripts/package and scripts/check-shipped-files. The version lives in the CMake
# project; the Debian changelog and the AppStream metadata's newest release repeat it, and a
# release changes all three.

quorvane_version() {
  sed -n 's/^project(Quorvane VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt
}

# Fails, naming the files, when the changelog or the metadata names another version.
quorvane_check_versions() {
  local version changelog release
  version=$(quorvane_version)
  changelog=$(sed -n '1s/^quorvane (\([^)]*\)).*/\1/p' debian/changelog)
  release=$(grep -o -m 1 '<release version="[^"]*"' dist/metainfo/*.metainfo.xml | cut -d '"' -f 2)
  if [ -z "$version" ] || [ "$changelog" != "$version" ] || [ "$release" != "$version" ]; then
    echo "version mismatch: CMakeLists.txt '$version', debian/changelog '$changelog'," \
      "newest release in dist/metainfo '$release'" >&2
    return 1
  fi
}
