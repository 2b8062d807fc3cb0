"""Faults the program must survive."""
