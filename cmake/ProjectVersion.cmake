# The version of everything the project ships, written here once: the root project and the log
# tool's native project take it as their project(... VERSION ...), and from there the version
# resources, the package's name, the INF's DriverVer and `kalvix-log --version`.
set(KALVIX_VERSION 1.6.0)
