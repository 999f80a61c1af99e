"""HTTP tests of the sample application: every check goes through the pages
as a browser would and then looks into the database. The tests live in one
module a concern and run in the order they are imported here."""
from http_common import suite  # noqa: F401  (run_e2e runs test_http.suite)

import test_http_security  # noqa: F401,E402
import test_http_lists  # noqa: F401,E402
import test_http_records  # noqa: F401,E402
import test_http_exports  # noqa: F401,E402
