"""Serves Debian's httpbin on 127.0.0.1 at the port given as the only
argument, one thread per request, until it is terminated."""
import sys

from httpbin import app
from werkzeug.serving import run_simple

if __name__ == "__main__":
    run_simple("127.0.0.1", int(sys.argv[1]), app, threaded=True)
