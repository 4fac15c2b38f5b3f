#!/usr/bin/env python3
"""The layering check finds an upward include in either form and in any subfolder."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_layers  # noqa: E402

# (file under src/, its include line, faults expected)
ROWS = [
    ("net/Bad.cpp", '#include "upload/UploadPoster.h"', 1),
    ("net/Bad.cpp", "#include <upload/UploadPoster.h>", 1),
    ("net/deep/sub/Bad.cpp", '#include "upload/UploadPoster.h"', 1),
    ("net/deep/Bad.h", "#  include <app/QuorvelApp.h>", 1),
    ("uucode/tool.cpp", "#include <base/Logger.h>", 1),
    ("upload/Good.cpp", "#include <net/TextClient.h>", 0),
    ("net/System.cpp", "#include <net/if.h>", 0),
    ("net/Qt.cpp", "#include <QtCore/QString>", 0),
]


class CheckLayers(unittest.TestCase):
    def test_rows(self):
        for relative, line, expected in ROWS:
            with self.subTest(file=relative, line=line), tempfile.TemporaryDirectory() as root:
                src = os.path.join(root, "src")
                for header in ("upload/UploadPoster.h", "app/QuorvelApp.h", "base/Logger.h",
                               "net/TextClient.h"):
                    os.makedirs(os.path.dirname(os.path.join(src, header)), exist_ok=True)
                    open(os.path.join(src, header), "w").close()
                path = os.path.join(src, relative)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "w") as f:
                    f.write(line + "\n")
                faults = check_layers.check_includes(src)
                self.assertEqual(len(faults), expected, faults)


if __name__ == "__main__":
    unittest.main()
