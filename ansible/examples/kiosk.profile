# The fleet's printer settings: 'qbx7config decode --profile' writes such files,
# 'qbx7config settings' lists every key and entry.
code-page=1252
zero-style=slashed
presenter-delay=5
asb=enable
