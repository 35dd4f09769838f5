# Sourced by the screenshot scripts of the desktop program, from the top of the source
# tree: installs what they need (the build, the tests' packages and the Debian packages
# named as arguments), builds, and starts a virtual X server ($display) with a window
# manager and a tray (icewm); tests/e2e/netns.sh then makes the network namespaces of the
# scene, $desktop is the built program and tollix-cli its peers. Name at least one
# package: sourced without arguments, this would see its caller's.
scripts/install-deps.sh build test
for package in xvfb icewm imagemagick "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$package"
done
make build >/dev/null

export TOLLIX_CLI=$PWD/build/apps/tollix-cli/tollix-cli
desktop=$PWD/build/apps/tollix/tollix
. tests/e2e/netns.sh

start_xvfb 1280x1024x24
DISPLAY=$display icewm >/dev/null 2>&1 &
sleep 1
