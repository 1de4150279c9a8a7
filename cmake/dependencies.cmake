# The libraries every build of Plivora finds, the program's and the
# fuzzers' alike.
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui)
find_package(TIFF REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(GIF 5 REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(LCMS2 REQUIRED IMPORTED_TARGET lcms2)
find_package(Threads REQUIRED)
# The views stage measures alignment with OpenCV: only the modules it calls
# (never highgui, which brings a toolkit of its own).
find_package(OpenCV 4 REQUIRED COMPONENTS core imgproc video features2d calib3d)
