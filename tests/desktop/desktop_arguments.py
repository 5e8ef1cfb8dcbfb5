"""The options CTest passes to a desktop end-to-end script: the board side (server, simulator,
board plug-in, sample files), the network plug-in and the desktop program under test."""
import argparse


def parse_desktop_arguments(description, program, program_help):
    """Parses the known options (`--<program>` names the program under test); what is left
    over goes to unittest."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--server", required=True)
    parser.add_argument("--boardsim", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--plugin", required=True, help="the board plug-in libcsitransport.so")
    parser.add_argument(f"--{program}", required=True, help=program_help)
    parser.add_argument("--qrbtransport", required=True, help="libqrbtransport.so")
    parser.add_argument("--sanitized", action="store_true")
    return parser.parse_known_args()
