# -*- coding: utf-8 -*-
# Copyright 2026 The QBX7Config developers

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    """The options that every module of the collection takes, and what each needs."""

    DOCUMENTATION = r"""
options:
  port:
    description:
      - The printer's port as a URI, for example C(tcp:10.0.0.7), C(file:/dev/usb/lp0),
        C(serial:/dev/ttyUSB0?baud=9600) or C(queue:kiosk).
      - Without it, the port saved on the host (C(qbx7config port)) is used.
    type: str
  executable:
    description:
      - The C(qbx7config) program, as a path or as a name looked up on the host's C(PATH).
    type: str
    default: qbx7config
requirements:
  - qbx7config on the host
"""
