"""Drives the real quorvel binary on a private X desktop, the way a user meets it."""
