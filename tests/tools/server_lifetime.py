"""Shared by the local test servers (package_server.py, connect_proxy.py)."""
import os
import threading


def stop_after(seconds):
    """A safety net: a server whose owner died without stopping it goes away."""
    if seconds > 0:
        timer = threading.Timer(seconds, os._exit, args=(0,))
        timer.daemon = True
        timer.start()
